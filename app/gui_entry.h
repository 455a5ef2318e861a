// The window's entry point, called by main when no PATH is given. The window
// build provides it (gui_entry_wx.cpp); on POSIX the command-line tabulon
// gets gui_entry_exec-posix.cpp instead, which replaces the process with
// tabulon-window, and gui_entry_none.cpp stands in when Tabulon is built
// without a window.
#ifndef TABULON_APP_GUI_ENTRY_H_
#define TABULON_APP_GUI_ENTRY_H_

namespace tabulon {

// Runs the start sequence's window part and the event loop; returns the
// process's exit status. The configuration file is already ensured.
int runGui(int argc, char** argv);

// The command line's usage text, ending in a line feed.
const char* commandLineUsage();

}  // namespace tabulon

#endif  // TABULON_APP_GUI_ENTRY_H_
