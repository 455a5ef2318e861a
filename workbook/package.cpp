#include "workbook/package.h"

#include <zip.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "textformats/errors.h"
#include "textformats/paths.h"
#include "textformats/stream.h"
#include "textformats/xmlreader.h"
#include "workbook/workbookpart.h"
#include "workbook/xlsxerrors.h"

namespace tabulon {

namespace fs = std::filesystem;

namespace {

constexpr int32_t kCopyBufferBytes = 8192;

std::string& extractionFolderSlot() {
  static std::string folder;
  return folder;
}

OSError osError(const std::error_code& ec, const fs::path& path) {
  return OSError(ec.message() + ": " + utf8FromPath(path));
}

// Splits name into its path components ("/" and "\" both separate), dropping
// "." and empty ones and letting ".." remove the one before. Returns false
// when the name is absolute in a way a leading "/" does not cover (a drive)
// or climbs above its root.
bool normalizeComponents(std::string_view name, std::vector<std::string_view>& out) {
  out.clear();
  if (name.size() >= 2 && name[1] == ':') return false;  // C:... is a drive on Windows
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find_first_of("/\\", start);
    if (end == std::string_view::npos) end = name.size();
    std::string_view part = name.substr(start, end - start);
    if (part == "..") {
      if (out.empty()) return false;
      out.pop_back();
    } else if (!part.empty() && part != ".") {
      out.push_back(part);
    }
    start = end + 1;
  }
  return true;
}

fs::path joinComponents(const std::string& folder, const std::vector<std::string_view>& parts) {
  fs::path p = pathFromUtf8(folder);
  for (std::string_view part : parts) p /= pathFromUtf8(part);
  return p;
}

// Creates dir with its parents; a path component that exists as a file is the
// IOError of the failure table.
void createDirectories(const fs::path& dir) {
  std::error_code ec;
  if (fs::create_directories(dir, ec) || !ec) return;
  for (fs::path p = dir; !p.empty() && p != p.root_path(); p = p.parent_path()) {
    std::error_code sec;
    fs::file_status st = fs::status(p, sec);
    if (!sec && fs::exists(st) && !fs::is_directory(st)) {
      throw IOError("Failed to create '" + utf8FromPath(dir) + "'");
    }
    if (p == p.parent_path()) break;
  }
  throw osError(ec, dir);
}

// Creates folder, which must not exist, readable by its owner only: nobody
// else can then plant links in it between its creation and the extraction.
void createFreshFolder(const fs::path& folder) {
  if (folder.has_parent_path()) createDirectories(folder.parent_path());
  std::error_code ec;
  if (!fs::create_directory(folder, ec)) {
    throw osError(ec ? ec : std::make_error_code(std::errc::file_exists), folder);
  }
  fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, ec);
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

InvalidXlsxFileError entryError(const char* what, const ArchiveReader& archive,
                                const std::string& entryName) {
  return InvalidXlsxFileError(std::string("[ZIP] ") + what + " in " + archive.path() + ": " +
                              entryName);
}

// An entry's sizes as the archive states them; 0 compressed and -1 inflated
// when unknown.
struct StatedSizes {
  int64_t compressed = 0;
  int64_t inflated = -1;
};

StatedSizes statedSizes(ArchiveReader& archive, const std::string& entryName) {
  zip_stat_t st;
  zip_stat_init(&st);
  StatedSizes sizes;
  if (zip_stat(archive.handle(), entryName.c_str(), 0, &st) != 0) return sizes;
  if (st.valid & ZIP_STAT_COMP_SIZE) sizes.compressed = static_cast<int64_t>(st.comp_size);
  if ((st.valid & ZIP_STAT_SIZE) && st.size <= static_cast<zip_uint64_t>(INT64_MAX)) {
    sizes.inflated = static_cast<int64_t>(st.size);
  }
  return sizes;
}

// What a whole package has inflated so far, against the size of its file.
// Entries that share their data (several directory records pointing at one
// stream) or that declare a larger compressed size than the file holds would
// otherwise each get the full per-entry allowance, and a file of a few
// hundred KB could write gigabytes.
struct PackageBudget {
  int64_t inflated = 0;
  int64_t fileBytes = -1;  // -1: unknown, no package limit
};

PackageBudget packageBudget(const ArchiveReader& archive) {
  std::error_code ec;
  const uintmax_t size = fs::file_size(pathFromUtf8(archive.path()), ec);
  PackageBudget budget;
  if (!ec) budget.fileBytes = static_cast<int64_t>(size);
  return budget;
}

}  // namespace

// ---- The extraction folder --------------------------------------------------

const std::string& extractionFolder() {
  std::string& folder = extractionFolderSlot();
  if (folder.empty()) {
    const std::optional<std::string> temp = environmentValue("TEMP");
    const std::optional<std::string> tmpdir = environmentValue("TMPDIR");
    folder = extractionFolderFor(temp ? temp->c_str() : nullptr, tmpdir ? tmpdir->c_str() : nullptr);
  }
  return folder;
}

void setExtractionFolder(std::string folder) { extractionFolderSlot() = std::move(folder); }

std::string extractionLockPath() { return extractionFolder() + ".lock"; }

namespace {

// Removes the folder top, known to be one, and everything in it.
void removeFolderContents(const fs::path& top) {
  std::error_code ec;
  const std::vector<FolderEntry> entries = listFolderEntries(top, ec);
  if (ec) throw osError(ec, top);
  for (const FolderEntry& entry : entries) {
    if (entry.type == EntryClass::missing) continue;  // gone since listed
    if (entry.type == EntryClass::directory) {
      removeFolderContents(entry.path);
      continue;
    }
    // A read-only file is made writable and deleted once more (removeEntry).
    if (!removeEntry(entry.path, entry.type, ec)) throw osError(ec, entry.path);
  }
  if (!removeEntry(top, EntryClass::directory, ec)) throw osError(ec, top);
}

}  // namespace

void removeFolderTree(const std::string& folder) {
  std::error_code ec;
  const fs::path top = pathFromUtf8(folder);
  const EntryClass topClass = classifyEntry(top, ec);
  if (ec || topClass == EntryClass::missing) return;
  if (topClass != EntryClass::directory) {
    // A link or file standing where the folder belongs: remove it, never follow it.
    if (!removeEntry(top, topClass, ec)) throw osError(ec, top);
    return;
  }
  removeFolderContents(top);
}

void removeExtractionFolder() { removeFolderTree(extractionFolder()); }

// ---- Part names -------------------------------------------------------------

std::string partPath(const std::string& folder, std::string_view partName,
                     const std::string& fileName) {
  std::vector<std::string_view> parts;
  if (!normalizeComponents(partName, parts) || parts.empty()) {
    throw InvalidXlsxFileError("[ZIP] unsafe part name in " + fileName + ": " +
                               std::string(partName));
  }
  return utf8FromPath(joinComponents(folder, parts));
}

std::string shortPartName(std::string_view partName) {
  size_t slash = partName.find_last_of("/\\");
  std::string_view last = slash == std::string_view::npos ? partName : partName.substr(slash + 1);
  size_t dot = last.rfind('.');
  return std::string(dot == std::string_view::npos ? last : last.substr(0, dot));
}

// ---- The archive ------------------------------------------------------------

int32_t ArchiveEntryStream::read(char* dst, int32_t n) {
  if (f_ == nullptr) return -1;
  zip_int64_t got = zip_fread(f_, dst, static_cast<zip_uint64_t>(n));
  if (got == 0) atEnd_ = true;
  return got < 0 ? -1 : static_cast<int32_t>(got);
}

void ArchiveEntryStream::close() {
  if (f_ != nullptr) zip_fclose(f_);
  f_ = nullptr;
}

bool ArchiveReader::open(const std::string& path) {
  close();
  int error = 0;
  w_ = zip_open(path.c_str(), 0, &error);
  path_ = path;
  return w_ != nullptr;
}

void ArchiveReader::close() {
  // Opened read-only: closing writes nothing back, so it cannot fail usefully.
  if (w_ != nullptr) zip_close(w_);
  w_ = nullptr;
}

bool openArchive(ArchiveReader& archive, const std::string& path) { return archive.open(path); }

void closeArchive(ArchiveReader& archive) { archive.close(); }

std::unique_ptr<ArchiveEntryStream> openEntryStream(ArchiveReader& archive,
                                                    const std::string& entryName) {
  if (!archive.isOpen()) return nullptr;
  zip_file_t* f = zip_fopen(archive.handle(), entryName.c_str(), 0);
  if (f == nullptr) return nullptr;
  return std::make_unique<ArchiveEntryStream>(f);
}

bool inflateLimitExceeded(int64_t inflatedBytes, int64_t compressedBytes,
                          const InflateLimits& limits) {
  if (inflatedBytes > limits.maxEntryBytes) return true;
  if (inflatedBytes <= limits.ratioFloorBytes) return false;
  // compressedBytes * maxRatio cannot overflow for any archive libzip opens.
  return inflatedBytes > compressedBytes * limits.maxRatio;
}

// ---- Handing entries to readers ---------------------------------------------

class EntryPipe::Stream : public InputStream {
 public:
  explicit Stream(std::shared_ptr<EntryPipe> pipe) : pipe_(std::move(pipe)) {}
  ~Stream() override { pipe_->readerGone(); }
  int32_t read(char* dst, int32_t n) override { return pipe_->read(dst, n); }

 private:
  std::shared_ptr<EntryPipe> pipe_;
};

EntryPipe::EntryPipe(std::string name, int64_t maxBytes, size_t capacity)
    : name_(std::move(name)),
      maxBytes_(maxBytes),
      capacity_(static_cast<size_t>(std::clamp<int64_t>(maxBytes, 1, static_cast<int64_t>(capacity)))) {}

void EntryPipe::write(const char* data, size_t n) {
  std::unique_lock<std::mutex> lock(mutex_);
  written_ += static_cast<int64_t>(n);
  if (written_ > maxBytes_) {
    overflowed_ = true;
    readerGone_ = true;  // nothing more for the reader, which is told
    changed_.notify_all();
  }
  // The buffer is taken when the entry's bytes arrive, not when the read is
  // planned, and left unfilled: the bytes themselves fill it.
  if (!readerGone_ && !ring_) ring_.reset(new char[capacity_]);
  while (n > 0 && !readerGone_) {
    changed_.wait(lock, [this] { return readerGone_ || count_ < capacity_; });
    if (readerGone_) break;
    const size_t tail = (head_ + count_) % capacity_;
    const size_t k = std::min({n, capacity_ - count_, capacity_ - tail});
    std::memcpy(ring_.get() + tail, data, k);
    count_ += k;
    data += k;
    n -= k;
    changed_.notify_all();
  }
}

void EntryPipe::close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
  }
  changed_.notify_all();
}

void EntryPipe::abort() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    aborted_ = true;
  }
  changed_.notify_all();
}

std::unique_ptr<InputStream> EntryPipe::reader() {
  return std::make_unique<Stream>(shared_from_this());
}

int32_t EntryPipe::read(char* dst, int32_t n) {
  if (n <= 0) return 0;
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return count_ > 0 || closed_ || aborted_ || overflowed_; });
  if (aborted_ || overflowed_) throw IOError("cannot read: " + name_);
  if (count_ == 0) return 0;
  const size_t k = std::min({static_cast<size_t>(n), count_, capacity_ - head_});
  std::memcpy(dst, ring_.get() + head_, k);
  head_ = (head_ + k) % capacity_;
  count_ -= k;
  lock.unlock();
  changed_.notify_all();
  return static_cast<int32_t>(k);
}

bool EntryPipe::overflowed() {
  std::lock_guard<std::mutex> lock(mutex_);
  return overflowed_;
}

void EntryPipe::readerGone() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    readerGone_ = true;
    ring_.reset();
    count_ = 0;
  }
  changed_.notify_all();
}

std::optional<std::string> partKey(std::string_view name) {
  std::vector<std::string_view> parts;
  if (!normalizeComponents(name, parts) || parts.empty()) return std::nullopt;
  std::string key;
  for (std::string_view part : parts) {
    if (!key.empty()) key += '/';
    key += part;
  }
  return key;
}

std::optional<PackageEntries> indexPackageEntries(ArchiveReader& archive) {
  const zip_int64_t count = zip_get_num_entries(archive.handle(), 0);
  if (count < 0) return std::nullopt;
  PackageEntries entries;
  std::unordered_map<std::string, int64_t> folded;
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive.handle(), static_cast<zip_uint64_t>(i), 0, &st) != 0 ||
        (st.valid & ZIP_STAT_NAME) == 0) {
      return std::nullopt;
    }
    const std::string_view name(st.name);
    const bool directory = !name.empty() && (name.back() == '/' || name.back() == '\\');
    const bool absolute = !name.empty() && (name.front() == '/' || name.front() == '\\');
    std::vector<std::string_view> parts;
    if (absolute || !normalizeComponents(name, parts)) return std::nullopt;
    if (parts.empty()) {
      if (directory) continue;  // "./" and the like: the folder itself
      return std::nullopt;
    }
    const std::optional<std::string> key = partKey(name);
    std::string lower = *key;
    for (char& c : lower) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    if (!folded.emplace(std::move(lower), i).second) return std::nullopt;
    PackageEntry& entry = entries[*key];
    entry.index = i;
    entry.directory = directory;
    entry.size = (st.valid & ZIP_STAT_SIZE) ? static_cast<int64_t>(st.size) : -1;
    entry.compressedSize = (st.valid & ZIP_STAT_COMP_SIZE) ? static_cast<int64_t>(st.comp_size) : -1;
  }
  return entries;
}

std::optional<std::string> readEntryBytes(ArchiveReader& archive, int64_t index, int64_t maxBytes) {
  zip_file_t* raw = zip_fopen_index(archive.handle(), static_cast<zip_uint64_t>(index), 0);
  if (raw == nullptr) return std::nullopt;
  ArchiveEntryStream entry(raw);
  std::string bytes;
  char buffer[kCopyBufferBytes];
  for (;;) {
    const int32_t got = entry.read(buffer, kCopyBufferBytes);
    if (got == 0) break;
    if (got < 0 || static_cast<int64_t>(bytes.size()) + got > maxBytes) return std::nullopt;
    bytes.append(buffer, static_cast<size_t>(got));
  }
  return bytes;
}

namespace {

void copyEntry(ArchiveReader& archive, const std::string& entryName, const std::string& destPath,
               const InflateLimits& limits, PackageBudget& package, EntryPipe* pipe = nullptr) {
  FilePtr out(openFile(destPath, "wb"));
  if (!out) throw IOError("Failed to create output file: " + destPath);
  std::unique_ptr<ArchiveEntryStream> entry = openEntryStream(archive, entryName);
  if (!entry) throw entryError("unreadable entry", archive, entryName);
  const StatedSizes stated = statedSizes(archive, entryName);
  const int64_t compressed = stated.compressed;
  // An entry that says it inflates past the limits is refused before any of
  // it is written: inflating it would only fill TEMP up to the limit first.
  if (stated.inflated >= 0 && inflateLimitExceeded(stated.inflated, compressed, limits)) {
    throw entryError("entry too large", archive, entryName);
  }
  std::vector<char> buffer(kCopyBufferBytes);
  int64_t inflated = 0;
  for (;;) {
    int32_t got = entry->read(buffer.data(), kCopyBufferBytes);
    if (got == 0) break;
    if (got < 0) throw entryError("unreadable entry", archive, entryName);
    inflated += got;
    if (inflateLimitExceeded(inflated, compressed, limits)) {
      throw entryError("entry too large", archive, entryName);
    }
    package.inflated += got;
    if (package.fileBytes >= 0 && package.inflated > limits.ratioFloorBytes &&
        package.inflated > package.fileBytes * limits.maxRatio) {
      throw entryError("package too large", archive, entryName);
    }
    if (std::fwrite(buffer.data(), 1, static_cast<size_t>(got), out.get()) !=
        static_cast<size_t>(got)) {
      throw IOError("Failed to write output file: " + destPath);
    }
    if (pipe != nullptr) pipe->write(buffer.data(), static_cast<size_t>(got));
  }
  entry->close();
  std::FILE* f = out.release();
  if (std::fclose(f) != 0) throw IOError("Failed to write output file: " + destPath);
  if (pipe != nullptr) pipe->close();
}

}  // namespace

void extractFile(ArchiveReader& archive, const std::string& entryName,
                 const std::string& destPath, const InflateLimits& limits) {
  PackageBudget package = packageBudget(archive);
  copyEntry(archive, entryName, destPath, limits, package);
}

void extractArchive(ArchiveReader& archive, const std::string& destFolder,
                    const InflateLimits& limits, const EntryTap& tap) {
  createDirectories(pathFromUtf8(destFolder));
  PackageBudget package = packageBudget(archive);
  const int count = zip_get_num_files(archive.handle());
  std::vector<std::string_view> parts;
  fs::path lastParent;  // the folder the previous entry went to, known to exist
  for (int i = 0; i < count; ++i) {
    const char* raw = zip_get_name(archive.handle(), static_cast<zip_uint64_t>(i), 0);
    if (raw == nullptr) throw entryError("unreadable entry", archive, "#" + std::to_string(i));
    const std::string name(raw);
    const bool isDirectory = !name.empty() && (name.back() == '/' || name.back() == '\\');
    const bool absolute = !name.empty() && (name.front() == '/' || name.front() == '\\');
    if (absolute || !normalizeComponents(name, parts) || (parts.empty() && !isDirectory)) {
      throw entryError("unsafe entry name", archive, name);
    }
    if (parts.empty()) continue;  // "./" and the like: the folder itself
    const fs::path dest = joinComponents(destFolder, parts);
    if (isDirectory) {
      createDirectories(dest);
      continue;
    }
    if (parts.size() > 1 && dest.parent_path() != lastParent) {
      createDirectories(dest.parent_path());
      lastParent = dest.parent_path();
    }
    copyEntry(archive, name, utf8FromPath(dest), limits, package, tap ? tap(i) : nullptr);
  }
}

namespace {

// The checks and the opening that come first in extractXml.
void openPackageArchive(const std::string& fileName, ArchiveReader& archive) {
  std::error_code ec;
  if (!fs::is_regular_file(pathFromUtf8(fileName), ec)) {
    throw NotExistsXlsxFileError("No such xlsx file: " + fileName);
  }
  if (!openArchive(archive, fileName)) {
    // libzip's error codes do not tell a vanished file from a damaged one on
    // every system (under wine a missing folder is a read error): the file
    // system decides.
    if (!fs::is_regular_file(pathFromUtf8(fileName), ec)) {
      throw NotExistsXlsxFileError("No such xlsx file: " + fileName);
    }
    throw InvalidXlsxFileError("[ZIP] Can't open xlsx file: " + fileName);
  }
}

// The rest of extractXml, on an archive already open.
void extractOpenArchive(ArchiveReader& archive, const InflateLimits& limits, const EntryTap& tap) {
  // A folder left by an interrupted read would mix its parts with this package's.
  removeExtractionFolder();
  createFreshFolder(pathFromUtf8(extractionFolder()));
  try {
    extractArchive(archive, extractionFolder(), limits, tap);
  } catch (...) {
    closeArchive(archive);
    try {
      removeExtractionFolder();
    } catch (const Error&) {
      // The extraction error is the one to report.
    }
    throw;
  }
  closeArchive(archive);
}

}  // namespace

void extractXml(const std::string& fileName, const InflateLimits& limits) {
  ArchiveReader archive;
  openPackageArchive(fileName, archive);
  extractOpenArchive(archive, limits, {});
}

PackageSession::PackageSession(const std::string& fileName, const InflateLimits& limits)
    : PackageSession(fileName, Deferred{}, limits) {
  extract();
}

PackageSession::PackageSession(const std::string& fileName, Deferred, const InflateLimits& limits)
    : fileName_(fileName), limits_(limits) {
  // Checked before taking the lock so that a missing file touches nothing.
  std::error_code ec;
  if (!fs::is_regular_file(pathFromUtf8(fileName), ec)) {
    throw NotExistsXlsxFileError("No such xlsx file: " + fileName);
  }
  // The lock file lives beside the folder, whose parents extraction would create anyway.
  fs::create_directories(pathFromUtf8(extractionLockPath()).parent_path(), ec);
  lock_ = std::make_unique<ExtractionLock>();
  archive_ = std::make_unique<ArchiveReader>();
  openPackageArchive(fileName, *archive_);
}

void PackageSession::extract(const EntryTap& tap) { extractOpenArchive(*archive_, limits_, tap); }

PackageSession::~PackageSession() {
  if (removed_) return;
  try {
    removeExtractionFolder();
  } catch (const Error&) {
    // Already leaving by an error, which is the one to report.
  }
}

std::string PackageSession::pathOf(std::string_view partName) const {
  return partPath(folder(), partName, fileName_);
}

void PackageSession::finish() {
  removed_ = true;
  removeExtractionFolder();
}

// ---- The part directory -----------------------------------------------------

namespace {

void readOverride(XmlReader& r, PartDirectory& directory) {
  for (nextXmlEvent(r); r.kind != xmlElementEnd && r.kind != xmlEof; nextXmlEvent(r)) {
    if (r.kind == xmlAttribute && attributeName(r) == "PartName") {
      directory[shortPartName(attributeValue(r))] = attributeValue(r);
    }
  }
}

}  // namespace

PartDirectory parseContentTypes(const std::string& path) {
  std::unique_ptr<InputStream> input = openFileStream(path);
  if (!input) throw IOError("Unable to read file: " + path);
  return parseContentTypes(std::move(input), path);
}

PartDirectory parseContentTypes(std::unique_ptr<InputStream> input, const std::string& path) {
  XmlReader r;
  openXmlReader(r, std::move(input), path);
  const std::string overrideTag = namespacePrefix(r) + "Override";
  PartDirectory directory;
  while (r.kind != xmlEof) {
    if (isElement(r, xmlElementOpen, overrideTag)) readOverride(r, directory);
    nextXmlEvent(r);
  }
  closeXmlReader(r);
  auto workbook = directory.find("workbook");
  if (workbook == directory.end() || workbook->second.empty()) {
    directory["workbook"] = "xl/workbook.xml";
  }
  return directory;
}

const std::string& directoryEntry(const PartDirectory& directory, const std::string& key) {
  auto it = directory.find(key);
  if (it == directory.end()) throw keyNotFound(key);
  return it->second;
}

}  // namespace tabulon
