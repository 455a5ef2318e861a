// The main window: an instruction text that takes drops, the Select Folder and
// Select File buttons between two links, and a status bar, laid out by the
// constraint solver on every size change of the panel.
#ifndef TABULON_APP_MAINWINDOW_H_
#define TABULON_APP_MAINWINDOW_H_

#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/actions.h"
#include "gui/toolkit.h"
#include "layout/solver.h"

namespace tabulon {

inline constexpr Size kMainWindowSize{415, 360};
inline constexpr char kVersionStatus[] = "     Version 20.08.11";

// The texts the window shows once it is built, all from one table.
struct WindowTexts {
  std::string title;
  std::string homeCaption;
  std::string homeTarget;
  std::string contactCaption;
  std::string contactTarget;
  RichDocument instructions;
};
const WindowTexts& windowTexts();

// The plain instruction text the text box holds until the rich one replaces
// it (and keeps where the system has no rich text).
extern const char kPlainInstructions[];

// A laid-out window object: its control (null for the panel) and the solver
// variables of its rectangle relative to the panel's client area.
struct LayoutBox {
  Control* control = nullptr;
  VariablePtr mLeft;
  VariablePtr mTop;
  VariablePtr mWidth;
  VariablePtr mHeight;
};

// The solver and what it was built for; made at the first size event, kept.
struct WindowLayout {
  const Panel* builtFor = nullptr;
  Solver solver;
  LayoutBox panel;
  std::vector<LayoutBox> controls;  // registration order
};

// The window's objects (owned by the toolkit) and the state behind them.
struct MainWindow {
  Frame* frame = nullptr;
  Panel* panel = nullptr;
  TextBox* instructions = nullptr;
  Button* selectFolder = nullptr;
  Button* selectFile = nullptr;
  Hyperlink* homeLink = nullptr;
  Hyperlink* contactLink = nullptr;
  ActionContext actions;
  WindowLayout layout;
};

// Creates the frame (kMainWindowSize, our icon), the panel and its controls
// in order, sets their fonts, connects the size, drag, drop and click events,
// then applies windowTexts() and kVersionStatus. The frame stays hidden.
// conversions and clock are what the actions use.
// Throws Error kind "wIconError" "wIcon creation failed" when the icon cannot
// be made.
std::unique_ptr<MainWindow> buildMainWindow(Toolkit& toolkit,
                                            Conversions conversions = batchConversions(),
                                            std::function<std::tm()> clock = localTimeNow);

// The panel's size handler: feeds the panel's client size and the controls'
// current rectangles to the solver as suggestions, re-solves and moves the
// controls to the solved rectangles (rounded to whole pixels, halves away
// from zero). The instruction text fills the width above one bottom row of
// home link, Select Folder, Select File and contact link, 10 pixels apart and
// 15 pixels from the panel's sides, all flush with the bottom edge.
void layoutMainWindow(MainWindow& window);

// Puts the frame 100 pixels from the right and bottom edges of the primary
// screen when that leaves more than 100 pixels to the left and top edges;
// otherwise centres it on the screen.
void placeMainWindow(Toolkit& toolkit, Frame& frame);

}  // namespace tabulon

#endif  // TABULON_APP_MAINWINDOW_H_
