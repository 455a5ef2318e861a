// The command-line tabulon hands window mode to tabulon-window beside it:
// copied alone into a folder, with a stand-in window program or a broken one.
// No display is needed: the stand-in is a shell script.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "clirunner.h"
#include "testutil.h"

namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kNoDisplay = {"DISPLAY", "WAYLAND_DISPLAY"};

TEST(WindowLaunch, ReplacesItselfWithTheWindowProgramKeepingArgumentsAndEnvironment) {
  testutil::TabulonCopy tab;
  fs::path window = tab.folder() / "tabulon-window";
  testutil::writeFile(window, "#!/bin/sh\necho \"window: $# [$1] $TABULON_PROBE\"\nexit 7\n");
  fs::permissions(window, fs::perms::owner_all);

  testutil::RunOptions options;
  options.env = kNoDisplay;
  options.env.push_back("TABULON_PROBE=kept");
  testutil::RunResult r = tab.run({"--"}, options);
  EXPECT_EQ(7, r.status) << r.err;
  EXPECT_EQ("window: 1 [--] kept\n", r.out);
  EXPECT_EQ("", r.err);
}

TEST(WindowLaunch, AMissingOrUnrunnableWindowProgramIsNamedWithTheReason) {
  struct Case {
    const char* name;
    bool present;  // a file that is not executable (not even by root)
    const char* reason;
  };
  for (const Case& c : {Case{"missing", false, "No such file or directory"},
                        Case{"not executable", true, "Permission denied"}}) {
    SCOPED_TRACE(c.name);
    testutil::TabulonCopy tab;
    fs::path window = tab.folder() / "tabulon-window";
    if (c.present) {
      testutil::writeFile(window, "#!/bin/sh\nexit 0\n");
      fs::permissions(window, fs::perms::owner_read | fs::perms::owner_write);
    }
    testutil::RunOptions options;
    options.env = kNoDisplay;
    testutil::RunResult r = tab.run({}, options);
    EXPECT_EQ(2, r.status);
    EXPECT_EQ("", r.out);
    const std::string line = "tabulon: cannot start the window program " + window.string() + ": " +
                             c.reason + "; to convert without a window, name the workbooks or "
                             "folders:\nusage: tabulon ";
    EXPECT_EQ(0u, r.err.find(line)) << r.err;
  }
}

}  // namespace
