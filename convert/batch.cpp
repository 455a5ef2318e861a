#include "convert/batch.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <unordered_set>
#include <utility>
#include <vector>

#include "convert/filenames.h"
#include "convert/render.h"
#include "textformats/errors.h"
#include "textformats/paths.h"
#include "workbook/reader.h"

namespace fs = std::filesystem;

namespace tabulon {

int32_t cellWidth = 10;

namespace {

[[noreturn]] void throwOSError(const std::error_code& ec, const fs::path& path) {
  throw OSError(ec.message() + ": " + utf8FromPath(path));
}

bool endsWith(const std::string& s, std::string_view suffix) {
  return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The reasons convertWorkbook passes a file over, checked in this order: the
// size first (a vanished file is an OSError), then the exact ending.
std::optional<WorkbookOutcome> skipReason(const std::string& path) {
  std::error_code ec;
  uintmax_t size = fs::file_size(pathFromUtf8(path), ec);
  if (ec) throwOSError(ec, pathFromUtf8(path));
  if (size == 0) return WorkbookOutcome::skippedEmpty;
  if (!endsWith(path, ".xlsx") && !endsWith(path, ".XLSX")) return WorkbookOutcome::skippedNotXlsx;
  return std::nullopt;
}

void createFolder(const std::string& folder) {
  std::error_code ec;
  fs::create_directories(pathFromUtf8(folder), ec);
  if (!ec) return;
  if (ec == std::errc::file_exists || ec == std::errc::not_a_directory) {
    throw IOError("Failed to create '" + folder + "'");
  }
  throwOSError(ec, pathFromUtf8(folder));
}

// Writes exactly the bytes of text, replacing any file of that name.
void writeOutputFile(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out.is_open()) throw IOError("cannot open: " + utf8FromPath(path));
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  if (out.fail()) throw IOError("cannot write: " + utf8FromPath(path));
}

// A name that stays one file name inside its folder: "." and ".." and the
// characters the platform cannot hold in a name become "_". Everything else,
// case and blanks included, is kept.
std::string safeFileName(const std::string& name) {
  if (name == "." || name == "..") return std::string(name.size(), '_');
  std::string out = name;
  for (char& c : out) {
    if (forbiddenInFileName(static_cast<unsigned char>(c))) c = '_';
  }
  return out;
}

// Output folder names already given out in one folder walk. A base name seen
// before gets the first free "_2", "_3", ... so that two workbooks never mix
// their sheet files in one folder; the walk order is fixed, so the names are
// the same on every run over the same tree.
class FolderNames {
 public:
  std::string claim(const std::string& base) {
    std::string name = base;
    for (int32_t n = 2; used_.count(folderNameKey(name)) != 0; ++n) {
      name = base + "_" + std::to_string(n);
    }
    used_.insert(folderNameKey(name));
    return name;
  }

 private:
  std::unordered_set<std::string> used_;
};

struct ListedEntry {
  std::string name;
  EntryClass type;  // of the entry itself: links and reparse points are not followed
};

// The entries of dir sorted by name, or nullopt when dir cannot be listed.
// Throws OSError when the listing breaks off after it was opened.
std::optional<std::vector<ListedEntry>> listFolder(const fs::path& dir) {
  std::error_code ec;
  fs::directory_iterator it(dir, ec);
  if (ec) return std::nullopt;
  std::vector<ListedEntry> entries;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) throwOSError(ec, dir);
    std::error_code typeError;
    EntryClass type = classifyEntry(it->path(), typeError);
    if (typeError) type = EntryClass::missing;  // vanished since listed: passed over
    entries.push_back({utf8FromPath(it->path().filename()), type});
  }
  if (ec) throwOSError(ec, dir);
  std::sort(entries.begin(), entries.end(),
            [](const ListedEntry& a, const ListedEntry& b) { return a.name < b.name; });
  return entries;
}

// What the rendered sheets of one workbook may hold in memory until they are
// written. A package of a few KB can declare sheets of tens of millions of
// empty cells, each rendering to hundreds of MB; past this the workbook fails
// with a RangeError instead of taking all the machine's memory.
constexpr size_t kMaxHeldTextBytes = size_t{256} << 20;

// Renders the tables of one workbook on a second thread while the reader
// goes on with the next sheet. Each sheet's text, or the error rendering it
// raised, waits in its slot until the whole workbook is read, so the files
// written and the error reported are those of reading first and rendering
// after. A table is dropped as soon as it is rendered.
class SheetRenderer {
 public:
  SheetRenderer(size_t sheets, int32_t width) : results_(sheets), width_(width) {
    worker_ = std::thread([this] { run(); });
  }
  ~SheetRenderer() { finish(); }
  SheetRenderer(const SheetRenderer&) = delete;
  SheetRenderer& operator=(const SheetRenderer&) = delete;

  // Waits while a table is still waiting to be rendered, so that at most one
  // table waits besides the one being rendered.
  void add(int32_t index, SheetTable&& table) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      room_.wait(lock, [this] { return pending_.empty(); });
      pending_.emplace_back(index, std::move(table));
    }
    wake_.notify_one();
  }

  // Waits until every table added is rendered.
  void finish() {
    if (!worker_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      closed_ = true;
    }
    wake_.notify_one();
    worker_.join();
  }

  // The text of sheet index (after finish); throws what rendering it threw.
  std::string take(size_t index) {
    Result& r = results_[index];
    if (r.error) std::rethrow_exception(r.error);
    return std::move(r.text);
  }

 private:
  struct Result {
    std::string text;
    std::exception_ptr error;
  };

  void run() {
    for (;;) {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return closed_ || !pending_.empty(); });
      if (pending_.empty()) return;
      std::pair<int32_t, SheetTable> job = std::move(pending_.front());
      pending_.pop_front();
      lock.unlock();
      room_.notify_one();
      Result& r = results_[static_cast<size_t>(job.first)];
      if (heldBytes_ > kMaxHeldTextBytes) continue;  // the error is already in an earlier slot
      try {
        r.text = renderSheet(job.second, width_);
        heldBytes_ += r.text.size();
        if (heldBytes_ > kMaxHeldTextBytes) {
          r.text = std::string();
          throw RangeError("workbook too large: its sheets' text passes " +
                           std::to_string(kMaxHeldTextBytes) + " bytes");
        }
      } catch (...) {
        r.error = std::current_exception();
      }
    }
  }

  std::vector<Result> results_;
  const int32_t width_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable room_;
  std::deque<std::pair<int32_t, SheetTable>> pending_;
  size_t heldBytes_ = 0;  // worker only
  bool closed_ = false;
  std::thread worker_;
};

fs::path normalFolder(const fs::path& p) {
  fs::path n = p.lexically_normal();
  if (!n.has_filename() && n.has_relative_path()) n = n.parent_path();
  return n;
}

}  // namespace

std::string outputBaseName(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (!name.empty() && name[0] == '.') name.erase(0, 1);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

std::string outputFolderForFile(const std::string& file) {
  return utf8FromPath(pathFromUtf8(file).parent_path() / pathFromUtf8("zz_" + outputBaseName(file)));
}

std::string outputRootForFolder(const std::string& folder) {
  fs::path p = pathFromUtf8(folder);
  if (!p.has_filename() && p.has_relative_path()) p = p.parent_path();  // "In/" is "In"
  if (p.empty() || p.filename() == "." || p.filename() == "..") {
    std::error_code ec;
    p = fs::absolute(p, ec);
    if (ec) throwOSError(ec, pathFromUtf8(folder));
    p = normalFolder(p);
  }
  return utf8FromPath(p.parent_path() / pathFromUtf8("zz_" + utf8FromPath(p.filename())));
}

WorkbookOutcome convertWorkbook(const std::string& path, const std::string& outFolder,
                                const BatchProgress& progress) {
  if (auto skipped = skipReason(path)) return *skipped;
  if (progress.workbookStarted) progress.workbookStarted(path);
  createFolder(outFolder);

  // One read serves every sheet. The files are written once it has
  // succeeded, in workbook order, so a read error leaves no new file behind.
  std::vector<std::string> names;
  std::optional<SheetRenderer> renderer;
  readAllSheets(
      path, /*header=*/true, /*skipHeaders=*/false, /*quoteSharedStrings=*/false,
      /*trimTrailing=*/false,
      [&](const std::vector<std::string>& listed) {
        names = listed;
        if (progress.sheetsListed) progress.sheetsListed(path, static_cast<int32_t>(names.size()));
        if (!names.empty()) renderer.emplace(names.size(), cellWidth);
      },
      [&](int32_t index, SheetTable&& table) { renderer->add(index, std::move(table)); });
  if (!renderer) return WorkbookOutcome::converted;
  renderer->finish();
  for (size_t i = 0; i < names.size(); ++i) {
    writeOutputFile(pathFromUtf8(outFolder) / pathFromUtf8(safeFileName(names[i]) + ".txt"),
                    renderer->take(i));
  }
  return WorkbookOutcome::converted;
}

void convertFolder(const std::string& folder, const std::string& outRoot,
                   const BatchProgress& progress) {
  std::error_code ec;
  const fs::path absRoot = fs::absolute(pathFromUtf8(outRoot), ec);
  if (ec) throwOSError(ec, pathFromUtf8(outRoot));
  createFolder(outRoot);
  const fs::path rootKey = normalFolder(absRoot);

  FolderNames names;
  std::vector<fs::path> pending{fs::path()};
  while (!pending.empty()) {
    fs::path rel = std::move(pending.back());
    pending.pop_back();
    auto entries = listFolder(pathFromUtf8(folder) / rel);
    if (!entries) continue;
    for (const ListedEntry& entry : *entries) {
      fs::path entryRel = rel / pathFromUtf8(entry.name);
      if (entry.type == EntryClass::directory) {
        pending.push_back(std::move(entryRel));
        continue;
      }
      if (entry.type != EntryClass::file) continue;  // links, reparse points, vanished
      const std::string full = utf8FromPath(pathFromUtf8(folder) / entryRel);
      // Output written by this very walk is never read back as input.
      fs::path parent = fs::absolute(pathFromUtf8(full), ec).parent_path();
      if (!ec && normalFolder(parent) == rootKey) continue;
      if (skipReason(full)) continue;
      std::string outName = names.claim(safeFileName(outputBaseName(full)));
      convertWorkbook(full, utf8FromPath(absRoot / pathFromUtf8(outName)), progress);
    }
  }
}

}  // namespace tabulon
