#include <wx/dcclient.h>
#include <wx/utils.h>

#include <cmath>

#include "gui/wxwindows.h"

namespace tabulon {

namespace {

wxColour toWx(const Colour& c) { return wxColour(c.red, c.green, c.blue); }

}  // namespace

// ---- text box ----------------------------------------------------------------

WxTextBox::WxTextBox(WxPanel& parent, const std::string& text, const FontSpec& font,
                     int32_t sideMargin)
    : wxTextCtrl(&parent, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                 wxTE_MULTILINE | wxTE_READONLY | wxTE_RICH2 | wxBORDER_SUNKEN),
      frame_(parent.frame()),
      font_(font),
      sideMargin_(sideMargin) {
  SetFont(makeFont(font));
  // Native margins where the platform has them for multi-line text (Windows);
  // elsewhere the paragraphs get the same space as indents.
  nativeMargins_ = SetMargins(sideMargin, -1);
  setPlainText(text);
  SetDropTarget(new WxFileDrop(*this));
}

Rect WxTextBox::rect() const { return toRect(GetRect()); }

void WxTextBox::setRect(const Rect& r) { placeWindow(*this, r); }

void WxTextBox::setFont(const FontSpec& font) {
  font_ = font;
  SetFont(makeFont(font));
}

wxTextAttr WxTextBox::baseStyle(bool bold) const {
  FontSpec spec = font_;
  if (bold) spec.weight = 700;
  wxTextAttr style;
  style.SetFont(makeFont(spec));
  if (!nativeMargins_) {
    // Indents are tenths of a millimetre; convert the margin from pixels.
    wxSize pixels = wxGetDisplaySize();
    wxSize millimetres = wxGetDisplaySizeMM();
    int tenths = pixels.x > 0 && millimetres.x > 0
                     ? static_cast<int>(std::lround(10.0 * sideMargin_ * millimetres.x / pixels.x))
                     : 0;
    style.SetLeftIndent(tenths);
    style.SetRightIndent(tenths);
  }
  return style;
}

void WxTextBox::setPlainText(const std::string& text) {
  Clear();
  SetDefaultStyle(baseStyle(false));
  AppendText(toWx(text));
  SetInsertionPoint(0);
}

bool WxTextBox::setRichText(const RichDocument& doc) {
  Clear();
  for (const TextRun& run : doc) {
    SetDefaultStyle(baseStyle(run.bold));
    AppendText(toWx(run.text));
  }
  SetDefaultStyle(baseStyle(false));
  SetInsertionPoint(0);
  ShowPosition(0);
  return true;
}

std::string WxTextBox::plainText() const { return fromWx(GetValue()); }

void WxTextBox::onDragEnter(std::function<DropEffect()> handler) {
  dragEnterHandler_ = std::move(handler);
}

void WxTextBox::onDrop(std::function<void(const DropData&)> handler) {
  dropHandler_ = std::move(handler);
}

DropEffect WxTextBox::dragEntered() {
  DropEffect effect = DropEffect::none;
  if (dragEnterHandler_) {
    frame_.toolkit().dispatch(frame_, [&] { effect = dragEnterHandler_(); });
  }
  return effect;
}

void WxTextBox::filesDropped(const wxArrayString& files) {
  if (!dropHandler_) return;
  DropData data;
  data.hasFileList = true;
  for (const wxString& file : files) data.files.push_back(fromWx(file));
  frame_.toolkit().dispatch(frame_, [&] { dropHandler_(data); });
}

wxDragResult WxFileDrop::OnEnter(wxCoord, wxCoord, wxDragResult) {
  effect_ = box_.dragEntered() == DropEffect::copy ? wxDragCopy : wxDragNone;
  return effect_;
}

wxDragResult WxFileDrop::OnDragOver(wxCoord, wxCoord, wxDragResult) { return effect_; }

bool WxFileDrop::OnDropFiles(wxCoord, wxCoord, const wxArrayString& files) {
  box_.filesDropped(files);
  return true;
}

// ---- button ------------------------------------------------------------------

WxButton::WxButton(WxPanel& parent, const std::string& label, const FontSpec& font)
    : wxButton(&parent, wxID_ANY, toWx(label), wxDefaultPosition, wxDefaultSize, wxBU_EXACTFIT),
      frame_(parent.frame()) {
  setFont(font);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
    if (clickHandler_) frame_.toolkit().dispatch(frame_, clickHandler_);
  });
}

Rect WxButton::rect() const { return toRect(GetRect()); }

void WxButton::setRect(const Rect& r) { placeWindow(*this, r); }

void WxButton::setFont(const FontSpec& font) {
  SetFont(makeFont(font));
  SetSize(GetBestSize());
}

Size WxButton::naturalSize() const {
  wxSize s = GetBestSize();
  return Size{s.x, s.y};
}

void WxButton::onClick(std::function<void()> handler) { clickHandler_ = std::move(handler); }

// ---- hyperlink ---------------------------------------------------------------

WxLink::WxLink(WxPanel& parent, const std::string& caption, const std::string& target,
               const LinkStyle& style)
    : wxControl(&parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxBORDER_NONE),
      style_(style),
      caption_(caption),
      target_(target) {
  SetCursor(wxCursor(wxCURSOR_HAND));
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  switchFont(style_.normalFont);
  Bind(wxEVT_PAINT, [this](wxPaintEvent&) { paint(); });
  Bind(wxEVT_ENTER_WINDOW, [this](wxMouseEvent&) { switchFont(style_.hoverFont); });
  Bind(wxEVT_LEAVE_WINDOW, [this](wxMouseEvent&) {
    pressed_ = false;
    switchFont(style_.normalFont);
  });
  Bind(wxEVT_LEFT_DOWN, [this](wxMouseEvent&) { pressed(); });
  Bind(wxEVT_LEFT_UP, [this](wxMouseEvent&) { released(); });
}

Rect WxLink::rect() const { return toRect(GetRect()); }

void WxLink::setRect(const Rect& r) { placeWindow(*this, r); }

void WxLink::setFont(const FontSpec& font) {
  style_.normalFont = font;
  switchFont(font);
}

void WxLink::setCaption(const std::string& caption) {
  caption_ = caption;
  InvalidateBestSize();
  SetSize(GetBestSize());
  Refresh();
}

std::string WxLink::caption() const { return caption_; }

void WxLink::setTarget(const std::string& target) { target_ = target; }

std::string WxLink::target() const { return target_; }

wxSize WxLink::DoGetBestClientSize() const {
  wxClientDC dc(const_cast<WxLink*>(this));
  dc.SetFont(GetFont());
  return dc.GetTextExtent(toWx(caption_));
}

void WxLink::switchFont(const FontSpec& font) {
  SetFont(makeFont(font));
  InvalidateBestSize();
  // Re-fit to the caption in the new font; the position stays.
  SetSize(GetBestSize());
  Refresh();
}

void WxLink::pressed() {
  pressed_ = true;
  Refresh();
}

void WxLink::released() {
  if (!pressed_) return;
  pressed_ = false;
  visited_ = true;
  if (!target_.empty()) wxLaunchDefaultBrowser(toWx(target_));
  Refresh();
}

void WxLink::paint() {
  wxPaintDC dc(this);
  dc.SetBackground(wxBrush(GetParent()->GetBackgroundColour()));
  dc.Clear();
  const Colour& colour = pressed_   ? style_.pressedColour
                         : visited_ ? style_.visitedColour
                                    : style_.normalColour;
  dc.SetFont(GetFont());
  dc.SetTextForeground(toWx(colour));
  wxSize client = GetClientSize();
  wxSize text = dc.GetTextExtent(toWx(caption_));
  int x = style_.align == LinkAlign::right ? client.x - text.x : (client.x - text.x) / 2;
  dc.DrawText(toWx(caption_), x, (client.y - text.y) / 2);
}

}  // namespace tabulon
