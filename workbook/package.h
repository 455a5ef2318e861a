// The package layer of the workbook reader: an .xlsx file is a ZIP archive of
// XML parts. A read extracts the whole archive into one fixed folder (the
// extraction folder), closes the archive, lets the part readers open the
// extracted files by path, and removes the folder again. Only one read may use
// the folder at a time, across processes: PackageSession holds an
// inter-process lock for the whole read.
#ifndef TABULON_WORKBOOK_PACKAGE_H_
#define TABULON_WORKBOOK_PACKAGE_H_

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "textformats/stream.h"

struct zip;
struct zip_file;

namespace tabulon {

// ---- The extraction folder --------------------------------------------------

// The folder every read extracts into, fixed for the run: computed on first
// use by extractionFolderFor(getenv("TEMP"), getenv("TMPDIR")) unless
// setExtractionFolder came first.
const std::string& extractionFolder();

// Replaces the extraction folder for the rest of the run (tests and tools that
// must not share the system-wide folder). Call before any read; not
// thread-safe.
void setExtractionFolder(std::string folder);

// The platform's rule, from the values of TEMP and TMPDIR (nullptr when unset).
// POSIX: TEMP, else TMPDIR, else /tmp (unset and empty are alike), joined with
// "xlsx_varno_tmp". Windows: TEMP with its trailing separators reduced to one
// "\", joined with "xlsx_varno_tmp"; without TEMP the relative
// "xlsx_varno_tmp". TMPDIR is ignored on Windows.
std::string extractionFolderFor(const char* temp, const char* tmpdir);

// The lock file that serialises reads: the extraction folder's path + ".lock",
// beside the folder. It is created when missing and never removed.
std::string extractionLockPath();

// Removes the extraction folder and everything in it. A folder that does not
// exist is no error. Read-only files are made writable and deleted once more.
// Links are removed, never followed. Throws OSError (platform text + ": " +
// path) when something cannot be removed.
void removeExtractionFolder();

// Removes folder like removeExtractionFolder does.
void removeFolderTree(const std::string& folder);

// Holds the inter-process extraction lock while it lives. The constructor
// waits until no other holder (another process, or another thread of this
// one) has it. Throws OSError when the lock file cannot be opened.
class ExtractionLock {
 public:
  ExtractionLock();
  ~ExtractionLock();
  ExtractionLock(const ExtractionLock&) = delete;
  ExtractionLock& operator=(const ExtractionLock&) = delete;

 private:
  intptr_t handle_;  // a file descriptor or a HANDLE
};

// ---- Part names -------------------------------------------------------------

// The path of the package part partName inside folder. The name is taken as
// a path from the package root: a leading "/" is dropped, "/" and "\" both
// separate components, "." components are dropped and ".." removes the
// component before it. Throws InvalidXlsxFileError
// "[ZIP] unsafe part name in " + fileName + ": " + partName when the name is
// absolute in another way (a drive), names the folder itself, or climbs out of it.
std::string partPath(const std::string& folder, std::string_view partName,
                     const std::string& fileName);

// The short name of a part: its last component (after the last "/" or "\")
// without the extension (from the last "."): /xl/worksheets/sheet1.xml -> sheet1.
std::string shortPartName(std::string_view partName);

// ---- The archive ------------------------------------------------------------

// One entry of an open archive, being read. Owns the libzip entry handle and
// closes it when destroyed.
class ArchiveEntryStream {
 public:
  explicit ArchiveEntryStream(zip_file* f) : f_(f) {}
  ~ArchiveEntryStream() { close(); }
  ArchiveEntryStream(const ArchiveEntryStream&) = delete;
  ArchiveEntryStream& operator=(const ArchiveEntryStream&) = delete;

  // Reads up to n bytes of the entry's inflated data into dst. Returns the
  // count read, 0 at the end (atEnd() is then true), negative on a read error
  // (a damaged entry, a checksum mismatch).
  int32_t read(char* dst, int32_t n);
  bool atEnd() const { return atEnd_; }
  void close();  // idempotent

 private:
  zip_file* f_;
  bool atEnd_ = false;
};

// One ZIP archive open for reading. Owns the libzip handle and closes it when
// destroyed; nothing is ever written back.
class ArchiveReader {
 public:
  ArchiveReader() = default;
  ~ArchiveReader() { close(); }
  ArchiveReader(const ArchiveReader&) = delete;
  ArchiveReader& operator=(const ArchiveReader&) = delete;

  // Opens path read-only; false when it is missing or not a ZIP archive.
  bool open(const std::string& path);
  void close();  // idempotent
  bool isOpen() const { return w_ != nullptr; }
  zip* handle() const { return w_; }
  const std::string& path() const { return path_; }  // as given to open

 private:
  zip* w_ = nullptr;
  std::string path_;
};

bool openArchive(ArchiveReader& archive, const std::string& path);
void closeArchive(ArchiveReader& archive);

// Opens the entry named entryName; nullptr when libzip cannot open it (no
// such entry, an unsupported compression method, encryption).
std::unique_ptr<ArchiveEntryStream> openEntryStream(ArchiveReader& archive,
                                                    const std::string& entryName);

// The zip-bomb guard, counted on the bytes actually inflated from one entry:
// more than maxEntryBytes, or more than ratioFloorBytes and more than
// maxRatio times the entry's compressed size, stops the read. The same ratio
// holds for the whole package against its file's size (entries may share
// data, or declare sizes they do not have). Sizes are bytes.
struct InflateLimits {
  int64_t maxEntryBytes = INT32_MAX;            // the part readers' 32-bit limit
  int64_t ratioFloorBytes = 100LL * 1024 * 1024;
  int64_t maxRatio = 1000;
};
bool inflateLimitExceeded(int64_t inflatedBytes, int64_t compressedBytes,
                          const InflateLimits& limits);

// The inflated bytes of one entry, handed to a reader on another thread while
// the extraction writes them to disk, so that the part is read while the
// package is still being extracted instead of read back afterwards. A
// bounded buffer: the extraction waits while it is full. Shared by the
// extraction (the writer) and the reader's stream.
class EntryPipe : public std::enable_shared_from_this<EntryPipe> {
 public:
  // The pipe carries at most maxBytes: an entry that inflates to more than
  // it declared overflows the pipe, which the reader then sees as an error
  // (overflowed() tells it apart) while the extraction goes on alone.
  // The buffer holds min(capacity, maxBytes) bytes; with capacity at least
  // maxBytes the writer never waits, and the reader may come afterwards.
  EntryPipe(std::string name, int64_t maxBytes, size_t capacity = size_t{1} << 20);
  EntryPipe(const EntryPipe&) = delete;
  EntryPipe& operator=(const EntryPipe&) = delete;

  // The writer's side. write waits for room; once the reader is gone it
  // drops the bytes. close marks the end of the entry; abort marks a failed
  // extraction, which the reader then sees as an IOError "cannot read: " + name.
  void write(const char* data, size_t n);
  void close();
  void abort();

  // The reader's side, taken once: reads wait for bytes, 0 at the end.
  // Destroying the stream before the end lets the writer go on alone.
  std::unique_ptr<InputStream> reader();
  bool overflowed();

 private:
  class Stream;
  int32_t read(char* dst, int32_t n);
  void readerGone();

  const std::string name_;
  const int64_t maxBytes_;
  const size_t capacity_;
  int64_t written_ = 0;
  std::unique_ptr<char[]> ring_;  // taken at the first write, given back when the reader goes
  size_t head_ = 0, count_ = 0;
  bool closed_ = false, aborted_ = false, readerGone_ = false, overflowed_ = false;
  std::mutex mutex_;
  std::condition_variable changed_;
};

// The pipe, if any, that also receives the entry with the given index.
using EntryTap = std::function<EntryPipe*(int64_t index)>;

// One entry of a package as the part readers see it.
struct PackageEntry {
  int64_t index = 0;
  bool directory = false;
  int64_t size = -1;            // inflated size as the archive declares it; -1 unknown
  int64_t compressedSize = -1;  // -1 unknown
};
using PackageEntries = std::unordered_map<std::string, PackageEntry>;

// The key of a part or entry name in PackageEntries: its normalised
// components (as partPath resolves them) joined by "/"; nullopt for a name
// partPath or the extraction would refuse.
std::optional<std::string> partKey(std::string_view name);

// The archive's entries by partKey. nullopt when a name is unreadable or
// unsafe, or when two entries would land on one path (compared ignoring ASCII
// case, as some file systems do): only the extraction can then tell what a
// part reader would find.
std::optional<PackageEntries> indexPackageEntries(ArchiveReader& archive);

// The inflated bytes of the entry with the given index; nullopt when it cannot
// be read or holds more than maxBytes.
std::optional<std::string> readEntryBytes(ArchiveReader& archive, int64_t index, int64_t maxBytes);

// Extracts every entry of archive below destFolder, creating the folder and
// the entries' directories (with parents) as needed. Throws:
//   InvalidXlsxFileError "[ZIP] unsafe entry name in " + file + ": " + entry
//     (an absolute name, or one that climbs out of destFolder), before
//     anything of that entry is written;
//   InvalidXlsxFileError "[ZIP] unreadable entry in " + file + ": " + entry
//     (libzip cannot open or read it);
//   InvalidXlsxFileError "[ZIP] entry too large in " + file + ": " + entry
//     (the inflate limits of one entry);
//   InvalidXlsxFileError "[ZIP] package too large in " + file + ": " + entry
//     (the package's ratio, passed while inflating entry);
//   IOError "Failed to create output file: " + path,
//   IOError "Failed to write output file: " + path,
//   IOError "Failed to create '" + directory + "'" (it exists as a file),
//   OSError (platform text + ": " + directory) for other directory failures.
// file is the path the archive was opened with. What was written so far stays.
// Each entry that tap names is handed to its pipe as well while it is written
// (closed after its last byte); on an error the pipes are left for the caller
// to abort.
void extractArchive(ArchiveReader& archive, const std::string& destFolder,
                    const InflateLimits& limits = {}, const EntryTap& tap = {});

// Copies the entry entryName into the file destPath (replaced if present),
// with extractArchive's errors for that entry.
void extractFile(ArchiveReader& archive, const std::string& entryName,
                 const std::string& destPath, const InflateLimits& limits = {});

// The extraction stage of a read, into extractionFolder(), which is first
// cleared of anything an interrupted earlier read left there. Throws
// NotExistsXlsxFileError "No such xlsx file: " + fileName (absent or a
// directory), InvalidXlsxFileError "[ZIP] Can't open xlsx file: " + fileName
// (both with the folder untouched) and extractArchive's errors (the folder is
// then removed). The caller must hold the ExtractionLock.
void extractXml(const std::string& fileName, const InflateLimits& limits = {});

// One whole read of a package: waits for the ExtractionLock, runs extractXml,
// and when destroyed removes the extraction folder (errors swallowed, for the
// error paths) and releases the lock. Call finish() on the success path so
// that a failed removal is reported (OSError).
class PackageSession {
 public:
  explicit PackageSession(const std::string& fileName, const InflateLimits& limits = {});

  // Opens the package without extracting it yet: the file is checked, the
  // lock taken and the archive opened, with extractXml's errors for those
  // steps. archive() can then be read; extract() runs the rest.
  struct Deferred {};
  PackageSession(const std::string& fileName, Deferred, const InflateLimits& limits = {});
  ArchiveReader& archive() { return *archive_; }
  // Extracts like extractXml, handing the entries tap names to their pipes
  // as well (extractArchive), and closes the archive.
  void extract(const EntryTap& tap = {});

  ~PackageSession();
  PackageSession(const PackageSession&) = delete;
  PackageSession& operator=(const PackageSession&) = delete;

  const std::string& fileName() const { return fileName_; }
  const InflateLimits& limits() const { return limits_; }
  const std::string& folder() const { return extractionFolder(); }
  // The path of partName inside the folder; see partPath.
  std::string pathOf(std::string_view partName) const;
  void finish();

 private:
  std::string fileName_;
  InflateLimits limits_;
  std::unique_ptr<ExtractionLock> lock_;
  std::unique_ptr<ArchiveReader> archive_;
  bool removed_ = false;
};

// ---- The part directory -----------------------------------------------------

// Short part name -> part name as written in the content-types part.
using PartDirectory = std::unordered_map<std::string, std::string>;

// Reads the content-types part at path: every Override element's PartName,
// filed under its short name (a later one replaces an earlier one); when no
// usable "workbook" entry results, "workbook" is "xl/workbook.xml". Elements
// must carry the root element's namespace prefix. Throws IOError
// "Unable to read file: " + path when the part cannot be opened.
PartDirectory parseContentTypes(const std::string& path);
PartDirectory parseContentTypes(std::unique_ptr<InputStream> input, const std::string& path);

// The value under key; throws KeyError "key not found: " + key.
const std::string& directoryEntry(const PartDirectory& directory, const std::string& key);

}  // namespace tabulon

#endif  // TABULON_WORKBOOK_PACKAGE_H_
