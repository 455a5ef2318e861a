// The window toolkit as the application sees it: a frame with a status bar,
// one panel, and the few controls and dialogs the main window needs. No
// toolkit type appears here, so the window code builds and is tested against
// a fake, and the real binding (gui/wxtoolkit.h) stays replaceable.
//
// Coordinates and sizes are pixels. Texts and paths are UTF-8.
//
// Ownership: every object the toolkit creates is owned by the toolkit (or by
// the window that contains it) and lives until its frame is closed; callers
// keep plain references. Handlers may throw tabulon::Error: the toolkit runs
// every handler through dispatchHandler (gui/dispatch.h), which shows the error
// box and returns, so the window stays usable.
#ifndef TABULON_GUI_TOOLKIT_H_
#define TABULON_GUI_TOOLKIT_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tabulon {

struct Size {
  int32_t width = 0;
  int32_t height = 0;
  bool operator==(const Size&) const = default;
};

// A control's rectangle relative to its parent's client area.
struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t right() const { return left + width; }
  int32_t bottom() const { return top + height; }
  bool operator==(const Rect&) const = default;
};

// A font of the system's default face. points may be fractional; weight is
// on the 100..900 scale (400 normal, 700 bold).
struct FontSpec {
  double points = 9.0;
  int32_t weight = 400;
  bool underline = false;
  bool operator==(const FontSpec&) const = default;
};

struct Colour {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  bool operator==(const Colour&) const = default;
};

// What a drop target tells the drag source it will do with the data.
enum class DropEffect : uint8_t { none, copy };

// The data of one drop. files is meaningful only when hasFileList is true and
// keeps the order the drag source gave.
struct DropData {
  bool hasFileList = false;
  std::vector<std::string> files;
};

// Rich text: runs of plain or bold text, shown in order.
struct TextRun {
  std::string text;
  bool bold = false;
};
using RichDocument = std::vector<TextRun>;

enum class LinkAlign : uint8_t { centre, right };

// How a hyperlink looks. The caption is drawn in normalColour, in
// pressedColour while the mouse button is held down on it and in
// visitedColour once it has been followed. Hovering switches to hoverFont and
// leaving back to normalFont; each switch re-fits the control to its caption.
struct LinkStyle {
  FontSpec normalFont;
  FontSpec hoverFont;
  LinkAlign align = LinkAlign::centre;
  Colour normalColour{0, 0, 255};
  Colour pressedColour{255, 0, 0};
  Colour visitedColour{85, 26, 139};
};

// Any child control of the panel.
class Control {
 public:
  virtual ~Control() = default;
  virtual Rect rect() const = 0;
  // Moves and resizes the control in one step.
  virtual void setRect(const Rect& r) = 0;
  virtual void setFont(const FontSpec& font) = 0;
};

// The child window that fills the frame's client area above the status bar.
class Panel : public Control {
 public:
  virtual Size clientSize() const = 0;
  // handler runs after every size change (replaces the previous handler).
  virtual void onSize(std::function<void()> handler) = 0;
};

// A multi-line, read-only rich text control that is also a drop target.
class TextBox : public Control {
 public:
  virtual void setPlainText(const std::string& text) = 0;
  // Replaces the content with the runs. Returns false, keeping the plain
  // text, when the system offers no rich text.
  virtual bool setRichText(const RichDocument& doc) = 0;
  // The content without formatting.
  virtual std::string plainText() const = 0;
  // handler decides the drop effect when a drag enters; the effect holds
  // while the drag moves over the control.
  virtual void onDragEnter(std::function<DropEffect()> handler) = 0;
  virtual void onDrop(std::function<void(const DropData&)> handler) = 0;
};

class Button : public Control {
 public:
  // The size the label needs with the current font.
  virtual Size naturalSize() const = 0;
  virtual void onClick(std::function<void()> handler) = 0;
};

// A caption that opens its target with the desktop's default handler when
// clicked (pressed and released over it); an empty target opens nothing.
class Hyperlink : public Control {
 public:
  virtual void setCaption(const std::string& caption) = 0;
  virtual std::string caption() const = 0;
  virtual void setTarget(const std::string& target) = 0;
  virtual std::string target() const = 0;
};

// The top-level window, with a status bar of one part.
class Frame {
 public:
  virtual ~Frame() = default;
  virtual void setTitle(const std::string& title) = 0;
  virtual std::string title() const = 0;
  // Sets the window icon from XPM image data (the rows of an XPM file).
  // Returns false when no icon can be made from it.
  virtual bool setIcon(const char* const* xpm) = 0;
  // Outer size, frame included.
  virtual Size outerSize() const = 0;
  // Moves the top-left corner of the frame, in screen coordinates.
  virtual void move(int32_t x, int32_t y) = 0;
  virtual void centre() = 0;
  virtual void show() = 0;
  virtual void setStatusText(const std::string& text) = 0;
  virtual std::string statusText() const = 0;
  // Paints pending changes (a new status text) at once, while a handler is
  // still busy; user input stays queued until the handler returns.
  virtual void repaintNow() = 0;
};

class Toolkit {
 public:
  virtual ~Toolkit() = default;

  // Creates the (hidden) top-level frame with its one-part status bar. Its
  // styles: caption, system menu, resizable border, minimise and maximise
  // boxes, children clipped, double-buffered painting.
  virtual Frame& createFrame(const std::string& title, Size outerSize) = 0;
  // Creates the frame's panel (system button-face background).
  virtual Panel& createPanel(Frame& frame) = 0;
  // A sunken-edged text box with left and right inner margins, holding text.
  virtual TextBox& createTextBox(Panel& parent, const std::string& text, const FontSpec& font,
                                 int32_t sideMargin) = 0;
  // A push button sized to its label in the given font.
  virtual Button& createButton(Panel& parent, const std::string& label, const FontSpec& font) = 0;
  virtual Hyperlink& createHyperlink(Panel& parent, const std::string& caption,
                                     const std::string& target, const LinkStyle& style) = 0;

  // Size of the primary screen.
  virtual Size screenSize() const = 0;

  // Modal folder chooser owned by owner, no preset folder. nullopt when it
  // is not closed with OK; otherwise the chosen path (which may be empty).
  virtual std::optional<std::string> chooseFolder(Frame& owner, const std::string& message) = 0;
  // Modal single-selection file-open dialog owned by owner, no preset folder
  // or name. filter "*.*" means every file. nullopt when it is not closed with
  // OK; otherwise the paths it returned (possibly none).
  virtual std::optional<std::vector<std::string>> chooseFile(Frame& owner,
                                                             const std::string& message,
                                                             const std::string& filter) = 0;
  // Modal message box with an error icon; owner may be null.
  virtual void showErrorBox(Frame* owner, const std::string& caption, const std::string& text) = 0;

  // Runs the event loop until the last frame is closed.
  virtual void runEventLoop() = 0;
};

}  // namespace tabulon

#endif  // TABULON_GUI_TOOLKIT_H_
