// A toolkit held in memory, for testing the window without a display: dialogs
// answer from queues, the status bar and the error boxes are recorded, control
// rectangles are plain values. Events are fired through dispatchHandler, as
// the real toolkit does.
#ifndef TABULON_APP_FAKETOOLKIT_H_
#define TABULON_APP_FAKETOOLKIT_H_

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "gui/dispatch.h"
#include "gui/toolkit.h"

namespace faketk {

using namespace tabulon;

class FakeToolkit;

class FakeFrame final : public Frame {
 public:
  void setTitle(const std::string& t) override { title_ = t; }
  std::string title() const override { return title_; }
  bool setIcon(const char* const* xpm) override {
    iconSet = iconWorks && xpm != nullptr;
    return iconSet;
  }
  Size outerSize() const override { return outer; }
  void move(int32_t x, int32_t y) override {
    position = {x, y};
    centred = false;
  }
  void centre() override { centred = true; }
  void show() override { shown = true; }
  void setStatusText(const std::string& text) override {
    status = text;
    statusHistory.push_back(text);
  }
  std::string statusText() const override { return status; }
  void repaintNow() override { repaintedWith.push_back(status); }

  std::string title_;
  Size outer;
  bool iconWorks = true;
  bool iconSet = false;
  std::optional<std::pair<int32_t, int32_t>> position;
  bool centred = false;
  bool shown = false;
  std::string status;
  std::vector<std::string> statusHistory;  // every text set, in order
  std::vector<std::string> repaintedWith;  // the status at each repaintNow
};

class FakePanel final : public Panel {
 public:
  explicit FakePanel(FakeToolkit& toolkit, FakeFrame& frame) : toolkit_(toolkit), frame_(frame) {}
  Rect rect() const override { return r; }
  void setRect(const Rect& rect) override { r = rect; }
  void setFont(const FontSpec&) override {}
  Size clientSize() const override { return Size{r.width, r.height}; }
  void onSize(std::function<void()> handler) override { sizeHandler = std::move(handler); }
  // Resizes the client area and raises the size event.
  void resize(int32_t width, int32_t height);

  Rect r;
  std::function<void()> sizeHandler;

 private:
  FakeToolkit& toolkit_;
  FakeFrame& frame_;
};

class FakeTextBox final : public TextBox {
 public:
  FakeTextBox(FakeToolkit& toolkit, FakeFrame& frame) : toolkit_(toolkit), frame_(frame) {}
  Rect rect() const override { return r; }
  void setRect(const Rect& rect) override { r = rect; }
  void setFont(const FontSpec& f) override { font = f; }
  void setPlainText(const std::string& text) override {
    plain = text;
    rich.clear();
  }
  bool setRichText(const RichDocument& doc) override {
    if (!richAvailable) return false;
    rich = doc;
    plain.clear();
    for (const TextRun& run : doc) plain += run.text;
    return true;
  }
  std::string plainText() const override { return plain; }
  void onDragEnter(std::function<DropEffect()> h) override { dragEnterHandler = std::move(h); }
  void onDrop(std::function<void(const DropData&)> h) override { dropHandler = std::move(h); }
  DropEffect dragEnter();
  void drop(const DropData& data);

  Rect r{0, 0, 120, 90};
  FontSpec font;
  int32_t sideMargin = 0;
  bool richAvailable = true;
  std::string plain;
  RichDocument rich;
  std::function<DropEffect()> dragEnterHandler;
  std::function<void(const DropData&)> dropHandler;

 private:
  FakeToolkit& toolkit_;
  FakeFrame& frame_;
};

class FakeButton final : public Button {
 public:
  FakeButton(FakeToolkit& toolkit, FakeFrame& frame) : toolkit_(toolkit), frame_(frame) {}
  Rect rect() const override { return r; }
  void setRect(const Rect& rect) override { r = rect; }
  void setFont(const FontSpec& f) override { font = f; }
  Size naturalSize() const override {
    return Size{static_cast<int32_t>(label.size()) * 7 + 16, 26};
  }
  void onClick(std::function<void()> h) override { clickHandler = std::move(h); }
  void click();

  Rect r;
  std::string label;
  FontSpec font;
  std::function<void()> clickHandler;

 private:
  FakeToolkit& toolkit_;
  FakeFrame& frame_;
};

class FakeHyperlink final : public Hyperlink {
 public:
  Rect rect() const override { return r; }
  void setRect(const Rect& rect) override { r = rect; }
  void setFont(const FontSpec& f) override { style.normalFont = f; }
  void setCaption(const std::string& c) override { caption_ = c; }
  std::string caption() const override { return caption_; }
  void setTarget(const std::string& t) override { target_ = t; }
  std::string target() const override { return target_; }

  Rect r;
  LinkStyle style;
  std::string caption_;
  std::string target_;
};

struct ErrorBox {
  Frame* owner;
  std::string caption;
  std::string text;
};

class FakeToolkit final : public Toolkit {
 public:
  Frame& createFrame(const std::string& title, Size outerSize) override {
    auto frame = std::make_unique<FakeFrame>();
    frame->title_ = title;
    frame->outer = outerSize;
    frame->iconWorks = iconWorks;
    created.push_back("frame " + title);
    frame_ = frame.get();
    return keep(std::move(frame));
  }
  Panel& createPanel(Frame&) override {
    created.push_back("panel");
    auto panel = std::make_unique<FakePanel>(*this, *frame_);
    panel_ = panel.get();
    return keep(std::move(panel));
  }
  TextBox& createTextBox(Panel&, const std::string& text, const FontSpec& font,
                         int32_t sideMargin) override {
    created.push_back("text");
    auto box = std::make_unique<FakeTextBox>(*this, *frame_);
    box->plain = text;
    box->font = font;
    box->sideMargin = sideMargin;
    box->richAvailable = richTextAvailable;
    textBox_ = box.get();
    return keep(std::move(box));
  }
  Button& createButton(Panel&, const std::string& label, const FontSpec& font) override {
    created.push_back("button " + label);
    auto button = std::make_unique<FakeButton>(*this, *frame_);
    button->label = label;
    button->font = font;
    Size natural = button->naturalSize();
    button->r = Rect{0, 0, natural.width, natural.height};
    buttons_.push_back(button.get());
    return keep(std::move(button));
  }
  Hyperlink& createHyperlink(Panel&, const std::string& caption, const std::string& target,
                             const LinkStyle& style) override {
    created.push_back("link " + caption);
    auto link = std::make_unique<FakeHyperlink>();
    link->caption_ = caption;
    link->target_ = target;
    link->style = style;
    link->r = Rect{0, 0, static_cast<int32_t>(caption.size()) * 7, 17};
    links_.push_back(link.get());
    return keep(std::move(link));
  }
  Size screenSize() const override { return screen; }
  std::optional<std::string> chooseFolder(Frame& owner, const std::string& message) override {
    dialogs.push_back("folder " + message + (&owner == frame_ ? " (owned)" : ""));
    auto answer = folderAnswers.front();
    folderAnswers.pop_front();
    return answer;
  }
  std::optional<std::vector<std::string>> chooseFile(Frame& owner, const std::string& message,
                                                     const std::string& filter) override {
    dialogs.push_back("file " + message + " " + filter + (&owner == frame_ ? " (owned)" : ""));
    auto answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
  }
  void showErrorBox(Frame* owner, const std::string& caption, const std::string& text) override {
    errorBoxes.push_back(ErrorBox{owner, caption, text});
  }
  void runEventLoop() override {}

  void fire(Frame& owner, const std::function<void()>& handler) {
    dispatchHandler(*this, &owner, handler);
  }

  FakeFrame& frame() { return *frame_; }
  FakePanel& panel() { return *panel_; }
  FakeTextBox& textBox() { return *textBox_; }
  FakeButton& button(size_t i) { return *buttons_.at(i); }
  FakeHyperlink& link(size_t i) { return *links_.at(i); }

  Size screen{1920, 1080};
  bool iconWorks = true;
  bool richTextAvailable = true;
  std::deque<std::optional<std::string>> folderAnswers;
  std::deque<std::optional<std::vector<std::string>>> fileAnswers;
  std::vector<std::string> created;
  std::vector<std::string> dialogs;
  std::vector<ErrorBox> errorBoxes;

 private:
  template <typename T>
  T& keep(std::unique_ptr<T> object) {
    T& ref = *object;
    owned_.push_back(std::shared_ptr<T>(std::move(object)));
    return ref;
  }

  std::vector<std::shared_ptr<void>> owned_;  // each with its own type's deleter
  FakeFrame* frame_ = nullptr;
  FakePanel* panel_ = nullptr;
  FakeTextBox* textBox_ = nullptr;
  std::vector<FakeButton*> buttons_;
  std::vector<FakeHyperlink*> links_;
};

inline void FakePanel::resize(int32_t width, int32_t height) {
  r.width = width;
  r.height = height;
  if (sizeHandler) toolkit_.fire(frame_, sizeHandler);
}

inline DropEffect FakeTextBox::dragEnter() {
  DropEffect effect = DropEffect::none;
  if (dragEnterHandler) toolkit_.fire(frame_, [&] { effect = dragEnterHandler(); });
  return effect;
}

inline void FakeTextBox::drop(const DropData& data) {
  if (dropHandler) toolkit_.fire(frame_, [&] { dropHandler(data); });
}

inline void FakeButton::click() {
  if (clickHandler) toolkit_.fire(frame_, clickHandler);
}

}  // namespace faketk

#endif  // TABULON_APP_FAKETOOLKIT_H_
