// Starts the real tabulon under a virtual X server and drives its window
// through the TABULON_TEST_SCRIPT hook: title and size, a resize, a file-list
// drop onto the instruction text, and the status line. Leaves a screenshot,
// window_xvfb.png, in this test's build folder.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "testutil.h"
#include "xlsxfixture.h"

namespace {

namespace fs = std::filesystem;

struct Report {
  std::string title;
  std::string outer;
  std::string panel;
  std::map<std::string, std::vector<int>> rects;  // by control name
  std::map<std::string, std::string> linkFonts;   // caption -> "points weight underlined"
  std::string status;
};

// Splits the program's output into the reports printed by "report".
std::vector<Report> parseReports(const std::string& output) {
  std::vector<Report> reports;
  std::istringstream in(output);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("title ", 0) == 0) {
      reports.emplace_back();
      reports.back().title = line.substr(6);
    } else if (reports.empty()) {
      continue;
    } else if (line.rfind("outer ", 0) == 0) {
      reports.back().outer = line.substr(6);
    } else if (line.rfind("panel ", 0) == 0) {
      reports.back().panel = line.substr(6);
    } else if (line.rfind("rect ", 0) == 0) {
      std::istringstream fields(line.substr(5));
      std::vector<int> r(4);
      fields >> r[0] >> r[1] >> r[2] >> r[3];
      std::string kind, name;
      fields >> kind;
      std::getline(fields, name);
      reports.back().rects[name.empty() ? kind : name.substr(1)] = r;
    } else if (line.rfind("linkfont ", 0) == 0) {
      std::istringstream fields(line.substr(9));
      std::string points, weight, underlined, caption;
      fields >> points >> weight >> underlined;
      std::getline(fields, caption);
      reports.back().linkFonts[caption.substr(1)] = points + " " + weight + " " + underlined;
    } else if (line.rfind("status ", 0) == 0) {
      reports.back().status = line.substr(7);
    }
  }
  return reports;
}

std::string shellQuote(const std::string& s) {
  std::string quoted = "'";
  for (char c : s) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

TEST(WindowUnderXvfb, ResizesConvertsADropAndReports) {
  if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "xvfb-run not found (Debian package xvfb): the windowed test is skipped";
  }
  fs::path tabulon = testutil::binaryDir() / "tabulon";
  ASSERT_TRUE(fs::exists(tabulon)) << tabulon;

  testutil::ScopedTempDir dir;
  std::string d = dir.str();
  testutil::WorkbookSpec spec;
  spec.sheets = {{"Data", testutil::sheetXml("A1:B1", "<row r=\"1\"><c r=\"A1\"><v>1</v></c>"
                                                      "<c r=\"B1\"><v>2</v></c></row>")}};
  auto workbook = testutil::minimalWorkbook(spec);
  testutil::XlsxFixture::write(dir / "Book.xlsx", workbook);
  testutil::XlsxFixture::write(dir / "In" / "Inner.xlsx", workbook);

  const std::string script = "pause 700\nreport\nhover Visit Home\nreport\nleave Visit Home\n"
                             "report\nresize 600 480\npause 700\nreport\n"
                             "drop " + d + "/Book.xlsx|" + d + "/gone.xlsx|" + d + "/In\n"
                             "report\nmove 40 40\npause 500\nprint ready\nwaitfile " + d + "/shot-done\nclose\n";
  testutil::writeFile(dir / "script.txt", script);
  fs::path shot = testutil::binaryDir() / "app" / "window_xvfb.png";

  // The program runs in the background; once it prints "ready" the screen is
  // captured, and the script closes the window when the capture is done.
  // GTK's own allocations are not ours to chase: leak checks are off here.
  const std::string inner =
      "cd " + shellQuote(d) + " || exit 1; TABULON_TEST_SCRIPT=\"$(cat script.txt)\" " +
      shellQuote(tabulon.string()) + " >out.txt 2>err.txt & pid=$!; i=0; "
      "while ! grep -q '^ready' out.txt 2>/dev/null && [ $i -lt 300 ]; do sleep 0.1; i=$((i+1)); done; "
      "import -window root " + shellQuote(shot.string()) + " 2>>import.txt; touch shot-done; wait $pid";
  const std::string command =
      "NO_AT_BRIDGE=1 ASAN_OPTIONS=detect_leaks=0 timeout 120 xvfb-run -a "
      "-s '-screen 0 1280x1024x24' sh -c " + shellQuote(inner);
  int rc = std::system(command.c_str());
  std::string output = testutil::readFile(dir / "out.txt");
  ASSERT_EQ(0, rc) << output << testutil::readFile(dir / "err.txt");

  std::vector<Report> reports = parseReports(output);
  ASSERT_EQ(5u, reports.size()) << output;

  const Report& start = reports[0];
  EXPECT_EQ("Tabulon", start.title);
  EXPECT_EQ("415 360", start.outer);
  EXPECT_EQ("     Version 20.08.11", start.status);

  // Hovering a link switches to the bold underlined font and re-fits the
  // control to its caption; leaving switches back.
  EXPECT_EQ("10.5 400 0", start.linkFonts.at("Visit Home"));
  EXPECT_EQ("9.5 400 0", start.linkFonts.at("Contact Author"));
  EXPECT_EQ("9.5 700 1", reports[1].linkFonts.at("Visit Home"));
  EXPECT_NE(start.rects.at("Visit Home")[2], reports[1].rects.at("Visit Home")[2]);
  EXPECT_EQ("10.5 400 0", reports[2].linkFonts.at("Visit Home"));

  const Report& resized = reports[3];
  EXPECT_EQ("600 480", resized.outer);
  int width = 0;
  int height = 0;
  std::istringstream(resized.panel) >> width >> height;
  const auto& text = resized.rects.at("text");
  const auto& home = resized.rects.at("Visit Home");
  const auto& folder = resized.rects.at("Select Folder");
  const auto& file = resized.rects.at("Select File");
  const auto& contact = resized.rects.at("Contact Author");
  EXPECT_EQ((std::vector<int>{0, 0, width}), (std::vector<int>{text[0], text[1], text[2]}));
  EXPECT_EQ(15, home[0]);
  EXPECT_EQ(home[0] + home[2] + 10, folder[0]);
  EXPECT_EQ(folder[0] + folder[2] + 10, file[0]);
  EXPECT_EQ(file[0] + file[2] + 10, contact[0]);
  EXPECT_EQ(width - 15, contact[0] + contact[2]);
  for (const auto* r : {&home, &folder, &file, &contact}) {
    EXPECT_EQ(text[3], (*r)[1]);
    EXPECT_EQ(height, (*r)[1] + (*r)[3]);
  }

  // The drop converts the workbook and the folder; the vanished path is skipped.
  EXPECT_TRUE(fs::is_regular_file(dir / "zz_Book" / "Data.txt"));
  EXPECT_TRUE(fs::is_regular_file(dir / "zz_In" / "Inner" / "Data.txt"));
  EXPECT_TRUE(std::regex_match(reports[4].status,
                               std::regex(" Done! - " + d + "/zz_In - \\d\\d:\\d\\d:\\d\\d")))
      << reports[4].status;
  EXPECT_TRUE(fs::exists(shot)) << testutil::readFile(dir / "import.txt");
}

}  // namespace

namespace {

TEST(WindowWithoutDisplay, SaysSoAndPointsToTheCommandLine) {
  fs::path tabulon = testutil::binaryDir() / "tabulon";
  testutil::ScopedTempDir dir;
  const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY ASAN_OPTIONS=detect_leaks=0 " +
                              shellQuote(tabulon.string()) + " >" +
                              shellQuote((dir / "out.txt").string()) + " 2>" +
                              shellQuote((dir / "err.txt").string());
  int rc = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(rc));
  EXPECT_EQ(2, WEXITSTATUS(rc));
  EXPECT_EQ("", testutil::readFile(dir / "out.txt"));
  std::string err = testutil::readFile(dir / "err.txt");
  EXPECT_NE(std::string::npos, err.find("no display")) << err;
  EXPECT_NE(std::string::npos, err.find("usage: tabulon")) << err;
}

}  // namespace
