// Paths at the file system boundary. Inside Tabulon a path is a UTF-8 byte
// string, like every other text; the system may want something else (UTF-16
// on Windows), so every path handed to the file system goes through these.
#ifndef TABULON_TEXTFORMATS_PATHS_H_
#define TABULON_TEXTFORMATS_PATHS_H_

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace tabulon {

// The file system path named by the UTF-8 text utf8. Unlike
// std::filesystem::path(std::string), never reads the text in a legacy code
// page.
std::filesystem::path pathFromUtf8(std::string_view utf8);

// The UTF-8 text of p (the inverse of pathFromUtf8).
std::string utf8FromPath(const std::filesystem::path& p);

// std::fopen for a UTF-8 path (mode as for std::fopen, ASCII). Returns
// nullptr when the file cannot be opened; the caller owns the FILE.
std::FILE* openFile(const std::string& utf8Path, const char* mode);

// The value of the environment variable name as UTF-8; nullopt when unset.
std::optional<std::string> environmentValue(const char* name);

// What a folder walk sees in an entry, from its own attributes: links are
// never followed. `link` is a symbolic link or, on Windows, any reparse point
// (a junction too), whether it points at a file or a folder. `other` is a
// device, a pipe or a socket.
enum class EntryClass : uint8_t { missing, file, directory, link, other };

// The class of the entry p. On a failure other than "does not exist", ec is
// set and the result is `missing`.
EntryClass classifyEntry(const std::filesystem::path& p, std::error_code& ec);

// Deletes the file or link p (a link itself, never its target), or the empty
// folder p when entryClass is `directory`. An entry that is already gone
// counts as deleted. On Windows an entry refused with "access denied" gets its
// attributes reset to normal (clearing read-only) and is deleted once more.
// Returns false with ec set when it stays.
bool removeEntry(const std::filesystem::path& p, EntryClass entryClass, std::error_code& ec);

// One entry of a folder listing.
struct FolderEntry {
  std::filesystem::path path;
  EntryClass type;  // as classifyEntry gives it; `missing` when it went meanwhile
};

// The entries of folder, each with its class, in the order the system lists
// them. The classes come with the listing where the system gives them, so a
// folder of n entries costs no n extra look-ups. On a failure, ec is set and
// the entries listed so far are returned.
std::vector<FolderEntry> listFolderEntries(const std::filesystem::path& folder,
                                           std::error_code& ec);

}  // namespace tabulon

#endif  // TABULON_TEXTFORMATS_PATHS_H_
