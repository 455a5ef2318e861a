// tabulon-inspect: developer views of Tabulon's readers and solver.
#ifndef TABULON_TOOLS_INSPECT_H_
#define TABULON_TOOLS_INSPECT_H_

#include <string>
#include <string_view>

namespace tabulon::inspect {

// Escapes a text field for one output line: "\\" "\t" "\n" "\r", other bytes
// below 0x20 and 0x7F as "\xHH"; bytes 0x80-0xFF stay as they are.
std::string escapeField(std::string_view text);

// Each subcommand gets the arguments after its own name and returns the exit status.
int inspectXml(int argc, char** argv);
int inspectConfig(int argc, char** argv);
int inspectSolve(int argc, char** argv);

}  // namespace tabulon::inspect

#endif  // TABULON_TOOLS_INSPECT_H_
