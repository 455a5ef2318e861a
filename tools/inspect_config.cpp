#include <cstdio>

#include "tools/inspect.h"

namespace tabulon::inspect {

int inspectConfig(int, char**) {
  std::fputs("tabulon-inspect config: not built yet\n", stderr);
  return 2;
}

}  // namespace tabulon::inspect
