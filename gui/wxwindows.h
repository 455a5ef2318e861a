// wxWidgets classes behind the toolkit interface. Internal to gui/: the only
// header outside gui/*.cpp that includes wxWidgets.
//
// Each class is both the wx window and the interface object, so wxWidgets'
// own parent-owns-child rule decides lifetimes: everything goes away when its
// frame is destroyed.
#ifndef TABULON_GUI_WXWINDOWS_H_
#define TABULON_GUI_WXWINDOWS_H_

#include <wx/wx.h>
#include <wx/dnd.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/toolkit.h"

namespace tabulon {

class WxToolkit;

wxString toWx(const std::string& utf8);
std::string fromWx(const wxString& text);
wxFont makeFont(const FontSpec& spec);
Rect toRect(const wxRect& r);
// Moves and resizes window to r in one step; a negative width or height
// (a window narrower than its controls need) becomes 0.
void placeWindow(wxWindow& window, const Rect& r);

class WxFrame final : public wxFrame, public Frame {
 public:
  WxFrame(WxToolkit& toolkit, const std::string& title, Size outerSize);

  void setTitle(const std::string& title) override;
  std::string title() const override;
  bool setIcon(const char* const* xpm) override;
  Size outerSize() const override;
  void move(int32_t x, int32_t y) override;
  void centre() override;
  void show() override;
  void setStatusText(const std::string& text) override;
  std::string statusText() const override;
  void repaintNow() override;

  WxToolkit& toolkit() { return toolkit_; }

 private:
  WxToolkit& toolkit_;
};

class WxPanel final : public wxPanel, public Panel {
 public:
  explicit WxPanel(WxFrame& frame);

  Rect rect() const override;
  void setRect(const Rect& r) override;
  void setFont(const FontSpec& font) override;
  Size clientSize() const override;
  void onSize(std::function<void()> handler) override;

  WxFrame& frame() { return frame_; }

 private:
  WxFrame& frame_;
  std::function<void()> sizeHandler_;
};

class WxTextBox final : public wxTextCtrl, public TextBox {
 public:
  WxTextBox(WxPanel& parent, const std::string& text, const FontSpec& font, int32_t sideMargin);

  Rect rect() const override;
  void setRect(const Rect& r) override;
  void setFont(const FontSpec& font) override;
  void setPlainText(const std::string& text) override;
  bool setRichText(const RichDocument& doc) override;
  std::string plainText() const override;
  void onDragEnter(std::function<DropEffect()> handler) override;
  void onDrop(std::function<void(const DropData&)> handler) override;

  // Called by the drop target.
  DropEffect dragEntered();
  void filesDropped(const wxArrayString& files);

 private:
  wxTextAttr baseStyle(bool bold) const;

  WxFrame& frame_;
  FontSpec font_;
  int32_t sideMargin_;
  bool nativeMargins_;
  std::function<DropEffect()> dragEnterHandler_;
  std::function<void(const DropData&)> dropHandler_;
};

// The text box's drop target: takes file lists from the desktop's file manager.
class WxFileDrop final : public wxFileDropTarget {
 public:
  explicit WxFileDrop(WxTextBox& box) : box_(box) {}
  wxDragResult OnEnter(wxCoord x, wxCoord y, wxDragResult def) override;
  wxDragResult OnDragOver(wxCoord x, wxCoord y, wxDragResult def) override;
  bool OnDropFiles(wxCoord x, wxCoord y, const wxArrayString& files) override;

 private:
  WxTextBox& box_;
  wxDragResult effect_ = wxDragNone;
};

class WxButton final : public wxButton, public Button {
 public:
  WxButton(WxPanel& parent, const std::string& label, const FontSpec& font);

  Rect rect() const override;
  void setRect(const Rect& r) override;
  void setFont(const FontSpec& font) override;
  Size naturalSize() const override;
  void onClick(std::function<void()> handler) override;

 private:
  WxFrame& frame_;
  std::function<void()> clickHandler_;
};

// A caption drawn by hand, so that pressed, visited and hover states look as
// LinkStyle says on every platform.
class WxLink final : public wxControl, public Hyperlink {
 public:
  WxLink(WxPanel& parent, const std::string& caption, const std::string& target,
         const LinkStyle& style);

  Rect rect() const override;
  void setRect(const Rect& r) override;
  void setFont(const FontSpec& font) override;
  void setCaption(const std::string& caption) override;
  std::string caption() const override;
  void setTarget(const std::string& target) override;
  std::string target() const override;

 protected:
  wxSize DoGetBestClientSize() const override;

 private:
  void paint();
  void switchFont(const FontSpec& font);
  void pressed();
  void released();

  LinkStyle style_;
  std::string caption_;
  std::string target_;
  bool pressed_ = false;
  bool visited_ = false;
};

class WxToolkit final : public Toolkit {
 public:
  WxToolkit();
  ~WxToolkit() override;

  Frame& createFrame(const std::string& title, Size outerSize) override;
  Panel& createPanel(Frame& frame) override;
  TextBox& createTextBox(Panel& parent, const std::string& text, const FontSpec& font,
                         int32_t sideMargin) override;
  Button& createButton(Panel& parent, const std::string& label, const FontSpec& font) override;
  Hyperlink& createHyperlink(Panel& parent, const std::string& caption, const std::string& target,
                             const LinkStyle& style) override;
  Size screenSize() const override;
  std::optional<std::string> chooseFolder(Frame& owner, const std::string& message) override;
  std::optional<std::vector<std::string>> chooseFile(Frame& owner, const std::string& message,
                                                     const std::string& filter) override;
  void showErrorBox(Frame* owner, const std::string& caption, const std::string& text) override;
  void runEventLoop() override;

  // Runs handler for an event of frame's windows (see gui/dispatch.h).
  void dispatch(WxFrame& frame, const std::function<void()>& handler);

  // For the test script: the first frame and text box made, or null.
  WxFrame* firstFrame() { return firstFrame_; }
  WxTextBox* firstTextBox() { return firstTextBox_; }
  void adoptScript(std::unique_ptr<wxEvtHandler> runner) { script_ = std::move(runner); }

 private:
  WxFrame* firstFrame_ = nullptr;
  WxTextBox* firstTextBox_ = nullptr;
  std::unique_ptr<wxEvtHandler> script_;
};

}  // namespace tabulon

#endif  // TABULON_GUI_WXWINDOWS_H_
