#include <cstdio>

#include "tools/inspect.h"

namespace tabulon::inspect {

int inspectXml(int, char**) {
  std::fputs("tabulon-inspect xml: not built yet\n", stderr);
  return 2;
}

}  // namespace tabulon::inspect
