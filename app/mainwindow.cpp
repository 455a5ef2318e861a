#include "app/mainwindow.h"

#include <cmath>
#include <utility>

#include "textformats/errors.h"

#include "app/tabulon_icon.xpm"

namespace tabulon {

namespace {

// Where the links lead. Placeholders of the project's own domain, defined once.
constexpr char kHomePageUrl[] = "https://tabulon.example.org/";
constexpr char kSupportMailto[] = "mailto:support@tabulon.example.org";

constexpr FontSpec kInstructionFont{12.0, 400, false};
constexpr FontSpec kButtonFont{9.5, 400, false};
constexpr FontSpec kLinkHoverFont{9.5, 700, true};
constexpr int32_t kInstructionMargin = 15;

constexpr double kPanelStrength = 1001000999.0;  // just below requiredStrength
constexpr double kPositionStrength = 0.01;
constexpr double kSizeStrength = 0.1;
constexpr double kEdgeGap = 15.0;
constexpr double kControlGap = 10.0;

LinkStyle linkStyle(const FontSpec& normal, LinkAlign align) {
  LinkStyle style;
  style.normalFont = normal;
  style.hoverFont = kLinkHoverFont;
  style.align = align;
  return style;
}

// ---- layout ------------------------------------------------------------------

LayoutBox newBox(Control* control) {
  return LayoutBox{control, newVariable(), newVariable(), newVariable(), newVariable()};
}

Expression left(const LayoutBox& b) { return Expression(b.mLeft); }
Expression top(const LayoutBox& b) { return Expression(b.mTop); }
Expression right(const LayoutBox& b) { return Expression(b.mLeft, 1.0, b.mWidth, 1.0); }
Expression bottom(const LayoutBox& b) { return Expression(b.mTop, 1.0, b.mHeight, 1.0); }

void addEditVariableOnce(Solver& solver, const VariablePtr& variable, double strength) {
  if (!hasEditVariable(solver, variable)) addEditVariable(solver, variable, strength);
}

// Adds the control to the layout; its position and size become weak edit
// variables, so the constraints win and the current size is kept where they
// leave freedom.
const LayoutBox& registerControl(WindowLayout& layout, Control& control) {
  LayoutBox box = newBox(&control);
  addEditVariableOnce(layout.solver, box.mLeft, kPositionStrength);
  addEditVariableOnce(layout.solver, box.mTop, kPositionStrength);
  addEditVariableOnce(layout.solver, box.mWidth, kSizeStrength);
  addEditVariableOnce(layout.solver, box.mHeight, kSizeStrength);
  layout.controls.push_back(std::move(box));
  return layout.controls.back();
}

// lhs == rhs, required.
void require(WindowLayout& layout, const Expression& lhs, const Expression& rhs) {
  addConstraint(layout.solver, newConstraint(lhs - rhs, OP_EQ));
}

void buildLayout(MainWindow& w) {
  WindowLayout& layout = w.layout;
  layout.builtFor = w.panel;
  layout.solver = newSolver();
  layout.controls.clear();
  layout.controls.reserve(5);  // boxes are referenced while registering
  layout.panel = newBox(nullptr);
  const LayoutBox& panel = layout.panel;
  for (const VariablePtr& v : {panel.mLeft, panel.mTop, panel.mWidth, panel.mHeight}) {
    addEditVariable(layout.solver, v, kPanelStrength);
  }

  const LayoutBox& text = registerControl(layout, *w.instructions);
  require(layout, left(text), left(panel));
  require(layout, right(text), right(panel));
  require(layout, top(text), top(panel));

  const LayoutBox& home = registerControl(layout, *w.homeLink);
  require(layout, left(home), left(panel) + kEdgeGap);
  require(layout, top(home), bottom(text));
  require(layout, bottom(home), bottom(panel));

  const LayoutBox& folder = registerControl(layout, *w.selectFolder);
  require(layout, left(folder), right(home) + kControlGap);
  require(layout, top(folder), bottom(text));
  require(layout, bottom(folder), bottom(panel));

  const LayoutBox& file = registerControl(layout, *w.selectFile);
  require(layout, left(file), right(folder) + kControlGap);
  require(layout, top(file), bottom(text));
  require(layout, bottom(file), bottom(panel));

  const LayoutBox& contact = registerControl(layout, *w.contactLink);
  require(layout, left(contact), right(file) + kControlGap);
  require(layout, right(contact), right(panel) - kEdgeGap);
  require(layout, top(contact), bottom(text));
  require(layout, bottom(contact), bottom(panel));
}

// Whole pixels, halves away from zero.
int32_t pixels(const VariablePtr& v) { return static_cast<int32_t>(std::lround(v->value)); }

}  // namespace

const char kPlainInstructions[] =
    "  1. Drag and drop a folder or file here, or click the **Select Folder** or "
    "**Select File** button\n"
    "\n"
    "  2. The output will be saved starting with **zz_**\n"
    "\n"
    "  3. Help and updates: Visit Home, below\n";

const WindowTexts& windowTexts() {
  static const WindowTexts texts{
      "Tabulon",
      "Visit Home",
      kHomePageUrl,
      "Contact Author",
      kSupportMailto,
      {
          {"  1. Drag and drop a folder or file here, or click the ", false},
          {"Select Folder", true},
          {" or ", false},
          {"Select File", true},
          {" button.\n\n", false},
          {"  2. Each sheet becomes a text file in a new folder beside it whose name starts "
           "with ",
           false},
          {"zz_", true},
          {".\n\n", false},
          {"  3. Help and updates: ", false},
          {"Visit Home", true},
          {", below.\n", false},
      },
  };
  return texts;
}

std::unique_ptr<MainWindow> buildMainWindow(Toolkit& toolkit, Conversions conversions,
                                            std::function<std::tm()> clock) {
  const WindowTexts& texts = windowTexts();
  auto w = std::make_unique<MainWindow>();
  w->frame = &toolkit.createFrame(texts.title, kMainWindowSize);
  if (!w->frame->setIcon(kTabulonIconXpm)) throw Error("wIconError", "wIcon creation failed");
  w->panel = &toolkit.createPanel(*w->frame);
  w->instructions =
      &toolkit.createTextBox(*w->panel, kPlainInstructions, kInstructionFont, kInstructionMargin);
  w->selectFolder = &toolkit.createButton(*w->panel, "Select Folder", kButtonFont);
  w->selectFile = &toolkit.createButton(*w->panel, "Select File", kButtonFont);
  w->homeLink = &toolkit.createHyperlink(*w->panel, texts.homeCaption, texts.homeTarget,
                                         linkStyle({10.5, 400, false}, LinkAlign::centre));
  w->contactLink = &toolkit.createHyperlink(*w->panel, texts.contactCaption, texts.contactTarget,
                                            linkStyle({9.5, 400, false}, LinkAlign::right));

  w->actions.toolkit = &toolkit;
  w->actions.frame = w->frame;
  w->actions.conversions = std::move(conversions);
  w->actions.clock = std::move(clock);

  MainWindow* window = w.get();
  w->panel->onSize([window] { layoutMainWindow(*window); });
  w->instructions->onDragEnter([window] { return onDragEnter(window->actions); });
  w->instructions->onDrop([window](const DropData& data) { onDrop(window->actions, data); });
  w->selectFolder->onClick([window] { onSelectFolder(window->actions); });
  w->selectFile->onClick([window] { onSelectFile(window->actions); });

  w->frame->setTitle(texts.title);
  w->homeLink->setCaption(texts.homeCaption);
  w->homeLink->setTarget(texts.homeTarget);
  w->contactLink->setCaption(texts.contactCaption);
  w->contactLink->setTarget(texts.contactTarget);
  w->instructions->setRichText(texts.instructions);
  w->frame->setStatusText(kVersionStatus);
  return w;
}

void layoutMainWindow(MainWindow& w) {
  WindowLayout& layout = w.layout;
  if (layout.builtFor != w.panel) buildLayout(w);

  Size client = w.panel->clientSize();
  suggestValue(layout.solver, layout.panel.mLeft, 0);
  suggestValue(layout.solver, layout.panel.mTop, 0);
  suggestValue(layout.solver, layout.panel.mWidth, client.width);
  suggestValue(layout.solver, layout.panel.mHeight, client.height);
  for (const LayoutBox& box : layout.controls) {
    Rect r = box.control->rect();
    suggestValue(layout.solver, box.mLeft, r.left);
    suggestValue(layout.solver, box.mTop, r.top);
    suggestValue(layout.solver, box.mWidth, r.width);
    suggestValue(layout.solver, box.mHeight, r.height);
  }
  updateVariables(layout.solver);
  for (const LayoutBox& box : layout.controls) {
    box.control->setRect(
        Rect{pixels(box.mLeft), pixels(box.mTop), pixels(box.mWidth), pixels(box.mHeight)});
  }
}

void placeMainWindow(Toolkit& toolkit, Frame& frame) {
  Size screen = toolkit.screenSize();
  Size outer = frame.outerSize();
  int32_t x = screen.width - outer.width - 100;
  int32_t y = screen.height - outer.height - 100;
  if (x > 100 && y > 100) {
    frame.move(x, y);
  } else {
    frame.centre();
  }
}

}  // namespace tabulon
