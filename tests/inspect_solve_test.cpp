// End to end: tabulon-inspect solve runs a solver script file.
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "testutil.h"

namespace {

struct Outcome {
  int status;
  std::string out, err;
};

Outcome runSolve(const std::string& script) {
  testutil::ScopedTempDir dir;
  testutil::writeFile(dir / "script.txt", script);
  std::string command = "'" + (testutil::binaryDir() / "tabulon-inspect").string() +
                        "' solve '" + (dir / "script.txt").string() + "' >'" +
                        (dir / "out").string() + "' 2>'" + (dir / "err").string() + "'";
  int raw = std::system(command.c_str());
  Outcome o;
  o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  o.out = testutil::readFile(dir / "out");
  o.err = testutil::readFile(dir / "err");
  return o;
}

TEST(InspectSolve, RunsAScriptAndReportsSolverErrors) {
  Outcome o = runSolve(
      "# a box between two walls\n"
      "var left\n"
      "var width\n"
      "\t var right\n"
      "\n"
      "c required == 1*left 1*width -1*right\n"
      "c required >= 1*width -100\n"
      "c 2.5 == 1*right -4e2\n"
      "edit width 10\n"
      "edit left 5\n"
      "suggest width 50\n"
      "suggest left +20.\n"
      "update\n"
      "  # indented comment\r\n"
      "c required == 1*left -20.5\r\n"
      "c required == 1*left -21\n"
      "edit width 1\n"
      "edit right required\n"
      "suggest right 3\n"
      "update\n");
  EXPECT_EQ(0, o.status) << o.err;
  EXPECT_EQ(
      "left 20.000000\n"
      "width 100.000000\n"
      "right 120.000000\n"
      "error UnsatisfiableConstraintException\n"
      "error DuplicateEditVariableException\n"
      "error RequiredFailureException\n"
      "error UnknownEditVariableException\n"
      "left 20.500000\n"
      "width 100.000000\n"
      "right 120.500000\n",
      o.out);
  EXPECT_EQ("", o.err);
}

TEST(InspectSolve, EqualConstraintsOnTwoLinesAreTwoConstraints) {
  Outcome o = runSolve("var x\nc required == 2*x -6\nc required == 1*x 1*x -6\nupdate\n");
  EXPECT_EQ(0, o.status);
  EXPECT_EQ("x 3.000000\n", o.out);
}

TEST(InspectSolve, MalformedLineStopsWithItsNumber) {
  const char* badLines[] = {
      "frobnicate x",     "var",           "var x",  // x exists already
      "c required <> 1*x", "c strong == 1*x", "c 1 ==",  "c 1 == 2*y",
      "c 1 == x",          "c 1 == 1e*x",   "c 1 == nan*x", "c 1 == 1e400",
      "c 1 == 0x10",       "edit x",        "suggest x",  "suggest x inf",
      "update now",        "edit y 1",      "c 1 == 2**x",
  };
  for (const char* bad : badLines) {
    Outcome o = runSolve("var x\n# fine so far\nupdate\n" + std::string(bad) + "\nupdate\n");
    EXPECT_EQ(2, o.status) << bad;
    EXPECT_EQ("x 0.000000\n", o.out) << bad;
    EXPECT_EQ("parse error: line 4\n", o.err) << bad;
  }
}

}  // namespace
