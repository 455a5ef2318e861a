#include "app/gui_entry.h"

namespace tabulon {

const char* commandLineUsage() {
  return "usage: tabulon [--help] [--version] [PATH...]\n"
         "\n"
         "Converts each PATH into framed fixed-width text files, one per sheet:\n"
         "  a workbook dir/Book.xlsx into dir/zz_Book/<sheet>.txt,\n"
         "  a folder dir/In (every .xlsx below it) into dir/zz_In/<workbook>/<sheet>.txt.\n"
         "The cell width, in bytes, is cell_width_characters in xlsx-to-txt-config.txt\n"
         "beside the program (default 10). Without PATH the window opens.\n"
         "\n"
         "  --help     show this text\n"
         "  --version  show the version\n"
         "\n"
         "Exit status: 0 when every PATH was converted, 1 when one was skipped or an\n"
         "error ended the run, 2 for a usage error.\n";
}

}  // namespace tabulon
