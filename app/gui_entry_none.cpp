#include <cstdio>

#include "app/gui_entry.h"

namespace tabulon {

// Built without a window: the command line is all there is.
int runGui(int /*argc*/, char** /*argv*/) {
  std::fputs("tabulon: this build has no window; name the workbooks or folders to convert.\n", stderr);
  std::fputs(commandLineUsage(), stderr);
  return 2;
}

}  // namespace tabulon
