#include <cstdlib>

#include "gui/wxtoolkit.h"

namespace tabulon {

namespace {

bool isSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0';
}

}  // namespace

bool displayAvailable() { return isSet("DISPLAY") || isSet("WAYLAND_DISPLAY"); }

}  // namespace tabulon
