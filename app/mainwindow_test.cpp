#include "app/mainwindow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/faketoolkit.h"
#include "testutil.h"

namespace tabulon {
namespace {

using faketk::FakeToolkit;

TEST(BuildMainWindow, CreatesTheControlsInOrderWithTextsFontsAndStatus) {
  FakeToolkit toolkit;
  auto window = buildMainWindow(toolkit);

  EXPECT_EQ((std::vector<std::string>{"frame Tabulon", "panel", "text", "button Select Folder",
                                      "button Select File", "link Visit Home",
                                      "link Contact Author"}),
            toolkit.created);
  faketk::FakeFrame& frame = toolkit.frame();
  EXPECT_EQ("Tabulon", frame.title());
  EXPECT_EQ((Size{415, 360}), frame.outerSize());
  EXPECT_TRUE(frame.iconSet);
  EXPECT_FALSE(frame.shown);
  EXPECT_EQ("     Version 20.08.11", frame.status);

  EXPECT_EQ((FontSpec{12.0, 400, false}), toolkit.textBox().font);
  EXPECT_EQ(15, toolkit.textBox().sideMargin);
  EXPECT_FALSE(toolkit.textBox().rich.empty());
  EXPECT_NE(std::string::npos, toolkit.textBox().plain.find("Drag and drop a folder or file here"));
  for (size_t i : {0u, 1u}) EXPECT_EQ((FontSpec{9.5, 400, false}), toolkit.button(i).font);

  const FontSpec hover{9.5, 700, true};
  faketk::FakeHyperlink& home = toolkit.link(0);
  faketk::FakeHyperlink& contact = toolkit.link(1);
  EXPECT_EQ((FontSpec{10.5, 400, false}), home.style.normalFont);
  EXPECT_EQ(hover, home.style.hoverFont);
  EXPECT_EQ(LinkAlign::centre, home.style.align);
  EXPECT_EQ((FontSpec{9.5, 400, false}), contact.style.normalFont);
  EXPECT_EQ(hover, contact.style.hoverFont);
  EXPECT_EQ(LinkAlign::right, contact.style.align);
  EXPECT_EQ((Colour{0, 0, 255}), home.style.normalColour);
  EXPECT_EQ((Colour{255, 0, 0}), home.style.pressedColour);
  EXPECT_EQ((Colour{85, 26, 139}), home.style.visitedColour);
  EXPECT_EQ(windowTexts().homeTarget, home.target());
  EXPECT_EQ(0u, contact.target().rfind("mailto:", 0));
}

TEST(BuildMainWindow, KeepsThePlainInstructionsWithoutRichText) {
  FakeToolkit toolkit;
  toolkit.richTextAvailable = false;
  auto window = buildMainWindow(toolkit);
  EXPECT_EQ(kPlainInstructions, toolkit.textBox().plain);
  EXPECT_NE(std::string::npos, toolkit.textBox().plain.find("**Select Folder**"));
}

TEST(BuildMainWindow, IconThatCannotBeMadeEndsStartUp) {
  FakeToolkit toolkit;
  toolkit.iconWorks = false;
  EXPECT_ERROR(buildMainWindow(toolkit), "wIconError", "wIcon creation failed");
}

TEST(PlaceMainWindow, HundredPixelsFromBottomRightOrCentred) {
  struct Case {
    Size screen;
    bool moved;
    int32_t x, y;
  };
  const Case cases[] = {
      {{1920, 1080}, true, 1405, 620},
      {{800, 600}, true, 285, 140},
      {{600, 500}, false, 0, 0},  // x would be 85
      {{1920, 560}, false, 0, 0},  // y would be 100: not more than 100
  };
  for (const Case& c : cases) {
    FakeToolkit toolkit;
    toolkit.screen = c.screen;
    Frame& frame = toolkit.createFrame("Tabulon", kMainWindowSize);
    placeMainWindow(toolkit, frame);
    SCOPED_TRACE(std::to_string(c.screen.width) + "x" + std::to_string(c.screen.height));
    EXPECT_EQ(!c.moved, toolkit.frame().centred);
    if (c.moved) {
      EXPECT_EQ((std::pair<int32_t, int32_t>{c.x, c.y}), toolkit.frame().position);
    }
  }
}

class Layout : public ::testing::Test {
 protected:
  void SetUp() override { window = buildMainWindow(toolkit); }

  Rect text() { return toolkit.textBox().r; }
  Rect home() { return toolkit.link(0).r; }
  Rect folder() { return toolkit.button(0).r; }
  Rect file() { return toolkit.button(1).r; }
  Rect contact() { return toolkit.link(1).r; }

  // The text fills the width from the top; the bottom row sits flush with
  // the bottom edge, 15 px in from the sides, 10 px between controls.
  void expectArranged(int32_t width, int32_t height) {
    SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
    EXPECT_EQ(0, text().left);
    EXPECT_EQ(0, text().top);
    EXPECT_EQ(width, text().width);
    EXPECT_EQ(15, home().left);
    EXPECT_EQ(home().right() + 10, folder().left);
    EXPECT_EQ(folder().right() + 10, file().left);
    EXPECT_EQ(file().right() + 10, contact().left);
    EXPECT_EQ(width - 15, contact().right());
    for (const Rect& r : {home(), folder(), file(), contact()}) {
      EXPECT_EQ(text().bottom(), r.top);
      EXPECT_EQ(height, r.bottom());
    }
  }

  FakeToolkit toolkit;
  std::unique_ptr<MainWindow> window;
};

TEST_F(Layout, ArrangesTheControlsOnTheFirstSizeEvent) {
  toolkit.panel().resize(399, 301);
  expectArranged(399, 301);
  EXPECT_GT(text().height, 200);
}

TEST_F(Layout, TallerWindowGrowsOnlyTheText) {
  toolkit.panel().resize(399, 301);
  Rect homeBefore = home();
  Rect folderBefore = folder();
  int32_t textHeight = text().height;

  toolkit.panel().resize(399, 451);
  expectArranged(399, 451);
  EXPECT_EQ(textHeight + 150, text().height);
  EXPECT_EQ(homeBefore.height, home().height);
  EXPECT_EQ(homeBefore.width, home().width);
  EXPECT_EQ(folderBefore.width, folder().width);
}

TEST_F(Layout, NarrowerWindowKeepsLinksFifteenPixelsFromTheEdges) {
  toolkit.panel().resize(399, 301);
  toolkit.panel().resize(330, 301);
  expectArranged(330, 301);
  toolkit.panel().resize(517, 288);
  expectArranged(517, 288);
}

TEST_F(Layout, SolverIsBuiltOnceAndKept) {
  toolkit.panel().resize(399, 301);
  VariablePtr panelWidth = window->layout.panel.mWidth;
  toolkit.panel().resize(420, 320);
  toolkit.panel().resize(399, 301);
  EXPECT_EQ(panelWidth, window->layout.panel.mWidth);
  EXPECT_EQ(5u, window->layout.controls.size());
  EXPECT_TRUE(toolkit.errorBoxes.empty());
}

}  // namespace
}  // namespace tabulon
