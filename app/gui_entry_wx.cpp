// The window's part of start-up: open the toolkit, build, place and show the
// main window, run the event loop until it is closed.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/gui_entry.h"
#include "app/mainwindow.h"
#include "gui/wxtoolkit.h"
#include "textformats/errors.h"

namespace tabulon {

int runGui(int argc, char** argv) {
  // Declared first so that it outlives the toolkit's windows, whose handlers
  // point to it.
  std::unique_ptr<MainWindow> window;
  std::unique_ptr<Toolkit> toolkit = createWxToolkit(argc, argv);
  if (!toolkit) {
    std::fputs(
        "tabulon: no display to open the window on (neither DISPLAY nor WAYLAND_DISPLAY "
        "works); to convert without a window, name the workbooks or folders:\n",
        stderr);
    std::fputs(commandLineUsage(), stderr);
    return 2;
  }

  try {
    window = buildMainWindow(*toolkit);
    placeMainWindow(*toolkit, *window->frame);
    window->frame->show();
  } catch (const Error& e) {
    toolkit->showErrorBox(nullptr, "Tabulon",
                          "Error: unhandled exception: " + describeError(e) + "\n");
    return 1;
  }

  // The windowed test drives the real window from inside through this hook.
  if (const char* script = std::getenv("TABULON_TEST_SCRIPT")) {
    scheduleTestScript(*toolkit, script);
  }
  toolkit->runEventLoop();
  return 0;
}

}  // namespace tabulon
