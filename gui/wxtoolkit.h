// The toolkit on wxWidgets. Declares no toolkit types, so app code includes it
// without seeing wxWidgets.
#ifndef TABULON_GUI_WXTOOLKIT_H_
#define TABULON_GUI_WXTOOLKIT_H_

#include <memory>
#include <string>

#include "gui/toolkit.h"

namespace tabulon {

// Whether this session has a display to open windows on (on X11/Wayland
// desktops: DISPLAY or WAYLAND_DISPLAY is set and not empty).
bool displayAvailable();

// Starts wxWidgets and returns the toolkit. nullptr when there is no display
// or the toolkit cannot open it. At most one toolkit exists at a time; its
// destruction closes remaining windows and shuts wxWidgets down.
std::unique_ptr<Toolkit> createWxToolkit(int& argc, char** argv);

// Development hook for the windowed test: runs script once the event loop of
// toolkit (made by createWxToolkit) is running. One command per line:
//   report           print "title", "outer", "panel", one "rect" line per panel
//                    child (and a "linkfont" line per hyperlink: points, weight,
//                    underlined 0/1, caption) and "status" to standard output
//   hover CAPTION    the mouse enters the hyperlink with that caption
//   leave CAPTION    the mouse leaves it
//   resize W H       set the frame's outer size
//   move X Y         move the frame's top-left corner to screen point (X, Y)
//   pause MS         wait MS milliseconds (the event loop keeps running)
//   waitfile PATH    wait until PATH exists
//   drop P1|P2|...   deliver a file-list drop to the first drop target
//   print TEXT       print TEXT
//   close            close the frame
// Unknown commands are printed as "script: unknown command: " + line.
void scheduleTestScript(Toolkit& toolkit, const std::string& script);

}  // namespace tabulon

#endif  // TABULON_GUI_WXTOOLKIT_H_
