#include "gui/wxtoolkit.h"

#include <wx/dirdlg.h>
#include <wx/filedlg.h>
#include <wx/evtloop.h>

#include <algorithm>

#include "gui/dispatch.h"
#include "gui/wxwindows.h"

namespace tabulon {

namespace {

// Our start-up runs no command-line parsing of its own here: the command line
// belongs to the program's entry, which only starts the window without a path.
class WxApp final : public wxApp {
 public:
  bool OnInit() override { return true; }
};

wxWindow* asWindow(Frame* frame) { return dynamic_cast<wxWindow*>(frame); }

template <typename T, typename From>
T& as(From& object) {
  return dynamic_cast<T&>(object);
}

}  // namespace

wxString toWx(const std::string& utf8) { return wxString::FromUTF8(utf8); }

std::string fromWx(const wxString& text) { return text.utf8_string(); }

wxFont makeFont(const FontSpec& spec) {
  return wxFont(wxFontInfo(spec.points).Weight(spec.weight).Underlined(spec.underline));
}

Rect toRect(const wxRect& r) { return Rect{r.x, r.y, r.width, r.height}; }

void placeWindow(wxWindow& window, const Rect& r) {
  window.SetSize(r.left, r.top, std::max(0, r.width), std::max(0, r.height),
                 wxSIZE_ALLOW_MINUS_ONE);
}

// ---- frame -------------------------------------------------------------------

WxFrame::WxFrame(WxToolkit& toolkit, const std::string& title, Size outerSize)
    : wxFrame(nullptr, wxID_ANY, toWx(title), wxDefaultPosition,
              wxSize(outerSize.width, outerSize.height),
              wxCAPTION | wxSYSTEM_MENU | wxRESIZE_BORDER | wxMINIMIZE_BOX | wxMAXIMIZE_BOX |
                  wxCLOSE_BOX | wxCLIP_CHILDREN),
      toolkit_(toolkit) {
  SetDoubleBuffered(true);
  CreateStatusBar(1);
}

void WxFrame::setTitle(const std::string& title) { SetTitle(toWx(title)); }

std::string WxFrame::title() const { return fromWx(GetTitle()); }

bool WxFrame::setIcon(const char* const* xpm) {
  wxBitmap bitmap(xpm);
  if (!bitmap.IsOk()) return false;
  wxIcon icon;
  icon.CopyFromBitmap(bitmap);
  if (!icon.IsOk()) return false;
  SetIcon(icon);
  return true;
}

Size WxFrame::outerSize() const {
  wxSize s = GetSize();
  return Size{s.x, s.y};
}

void WxFrame::move(int32_t x, int32_t y) { Move(x, y); }

void WxFrame::centre() { Centre(wxBOTH); }

void WxFrame::show() { Show(true); }

void WxFrame::setStatusText(const std::string& text) { SetStatusText(toWx(text), 0); }

std::string WxFrame::statusText() const {
  const wxStatusBar* bar = GetStatusBar();
  return bar != nullptr ? fromWx(bar->GetStatusText(0)) : std::string();
}

void WxFrame::repaintNow() {
  if (wxStatusBar* bar = GetStatusBar()) {
    bar->Refresh();
    bar->Update();
  }
  // Paint and layout only: clicks and drops wait until the running handler
  // is done, so a batch cannot be started twice.
  if (wxEventLoopBase* loop = wxEventLoopBase::GetActive()) loop->YieldFor(wxEVT_CATEGORY_UI);
}

// ---- panel -------------------------------------------------------------------

WxPanel::WxPanel(WxFrame& frame) : wxPanel(&frame, wxID_ANY), frame_(frame) {
  SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
  Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
    event.Skip();
    if (sizeHandler_) frame_.toolkit().dispatch(frame_, sizeHandler_);
  });
}

Rect WxPanel::rect() const { return toRect(GetRect()); }

void WxPanel::setRect(const Rect& r) { placeWindow(*this, r); }

void WxPanel::setFont(const FontSpec& font) { SetFont(makeFont(font)); }

Size WxPanel::clientSize() const {
  wxSize s = GetClientSize();
  return Size{s.x, s.y};
}

void WxPanel::onSize(std::function<void()> handler) { sizeHandler_ = std::move(handler); }

// ---- toolkit -----------------------------------------------------------------

WxToolkit::WxToolkit() = default;

WxToolkit::~WxToolkit() {
  script_.reset();
  if (wxTheApp != nullptr) wxTheApp->OnExit();
  wxEntryCleanup();
}

Frame& WxToolkit::createFrame(const std::string& title, Size outerSize) {
  auto* frame = new WxFrame(*this, title, outerSize);
  if (firstFrame_ == nullptr) firstFrame_ = frame;
  return *frame;
}

Panel& WxToolkit::createPanel(Frame& frame) { return *new WxPanel(as<WxFrame>(frame)); }

TextBox& WxToolkit::createTextBox(Panel& parent, const std::string& text, const FontSpec& font,
                                  int32_t sideMargin) {
  auto* box = new WxTextBox(as<WxPanel>(parent), text, font, sideMargin);
  if (firstTextBox_ == nullptr) firstTextBox_ = box;
  return *box;
}

Button& WxToolkit::createButton(Panel& parent, const std::string& label, const FontSpec& font) {
  return *new WxButton(as<WxPanel>(parent), label, font);
}

Hyperlink& WxToolkit::createHyperlink(Panel& parent, const std::string& caption,
                                      const std::string& target, const LinkStyle& style) {
  return *new WxLink(as<WxPanel>(parent), caption, target, style);
}

Size WxToolkit::screenSize() const {
  wxSize s = wxGetDisplaySize();
  return Size{s.x, s.y};
}

std::optional<std::string> WxToolkit::chooseFolder(Frame& owner, const std::string& message) {
  wxDirDialog dialog(asWindow(&owner), toWx(message), wxEmptyString, wxDD_DEFAULT_STYLE);
  if (dialog.ShowModal() != wxID_OK) return std::nullopt;
  return fromWx(dialog.GetPath());
}

std::optional<std::vector<std::string>> WxToolkit::chooseFile(Frame& owner,
                                                              const std::string& message,
                                                              const std::string& filter) {
  // "*.*" asks for every file; desktops where the pattern needs a dot get
  // their own every-file pattern.
  wxString wildcard = filter == "*.*" ? wxString(wxFileSelectorDefaultWildcardStr) : toWx(filter);
  wxFileDialog dialog(asWindow(&owner), toWx(message), wxEmptyString, wxEmptyString, wildcard,
                      wxFD_OPEN);
  if (dialog.ShowModal() != wxID_OK) return std::nullopt;
  wxArrayString paths;
  dialog.GetPaths(paths);
  std::vector<std::string> result;
  for (const wxString& path : paths) result.push_back(fromWx(path));
  return result;
}

void WxToolkit::showErrorBox(Frame* owner, const std::string& caption, const std::string& text) {
  wxMessageDialog box(asWindow(owner), toWx(text), toWx(caption), wxOK | wxICON_ERROR);
  box.ShowModal();
}

void WxToolkit::runEventLoop() { wxTheApp->OnRun(); }

void WxToolkit::dispatch(WxFrame& frame, const std::function<void()>& handler) {
  dispatchHandler(*this, &frame, handler);
}

std::unique_ptr<Toolkit> createWxToolkit(int& argc, char** argv) {
  if (!displayAvailable()) return nullptr;
  wxApp::SetInstance(new WxApp);
  // On failure wxEntryStart has already deleted the application object.
  if (!wxEntryStart(argc, argv)) return nullptr;
  if (!wxTheApp->CallOnInit()) {
    wxEntryCleanup();
    return nullptr;
  }
  return std::make_unique<WxToolkit>();
}

}  // namespace tabulon
