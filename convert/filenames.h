// File-name rules that differ between platforms (filenames-posix.cpp,
// filenames-win32.cpp). Internal to the batch driver.
#ifndef TABULON_CONVERT_FILENAMES_H_
#define TABULON_CONVERT_FILENAMES_H_

#include <string>

namespace tabulon {

// True when byte c cannot stand in a file name on this platform ("/", "\" and
// NUL everywhere; Windows adds its reserved characters and control bytes).
bool forbiddenInFileName(unsigned char c);

// The key under which two output folder names are the same folder: the name
// itself where file names are case-sensitive, its ASCII lower case where not.
std::string folderNameKey(const std::string& name);

}  // namespace tabulon

#endif  // TABULON_CONVERT_FILENAMES_H_
