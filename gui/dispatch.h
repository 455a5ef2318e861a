// How every toolkit runs an event handler: an error escaping the handler is
// shown to the user in a modal error box and the window goes on working.
#ifndef TABULON_GUI_DISPATCH_H_
#define TABULON_GUI_DISPATCH_H_

#include <exception>
#include <functional>
#include <string>

#include "gui/toolkit.h"
#include "textformats/errors.h"

namespace tabulon {

inline constexpr char kUnhandledErrorCaption[] = "Error: unhandled exception";

// Runs handler. A tabulon::Error escaping it is shown with toolkit's error box,
// owned by owner (may be null), with the caption kUnhandledErrorCaption and the
// text message + " [" + kind + "]"; any other std::exception the same way with
// the kind "Exception". Returns normally in every case.
inline void dispatchHandler(Toolkit& toolkit, Frame* owner, const std::function<void()>& handler) {
  std::string text;
  try {
    handler();
    return;
  } catch (const Error& e) {
    text = describeError(e);
  } catch (const std::exception& e) {
    // Not one of ours (the standard library, the layout solver): still shown
    // rather than ending the program from inside the event loop.
    text = std::string(e.what()) + " [Exception]";
  }
  toolkit.showErrorBox(owner, kUnhandledErrorCaption, text);
}

}  // namespace tabulon

#endif  // TABULON_GUI_DISPATCH_H_
