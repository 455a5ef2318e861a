#include <cstdio>

#include "tools/inspect.h"

namespace tabulon::inspect {

int inspectSolve(int, char**) {
  std::fputs("tabulon-inspect solve: not built yet\n", stderr);
  return 2;
}

}  // namespace tabulon::inspect
