#include "gui/wxtoolkit.h"

namespace tabulon {

// An interactive Windows session always has its desktop.
bool displayAvailable() { return true; }

}  // namespace tabulon
