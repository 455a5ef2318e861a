#include "convert/batch.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <string_view>
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

// The name of sheet index's temporary file in the output folder: hidden, and
// ending in ".tmp", so it is never a sheet's own file (those end in ".txt").
// A leftover of an interrupted run under the same name is overwritten, then
// renamed or removed like this run's own.
std::string spoolFileName(size_t index) {
  return ".tabulon-sheet" + std::to_string(index) + ".tmp";
}

// Thrown into a rendering that is no longer wanted, to end it early.
struct RenderAbandoned {};

// The sheet files of one workbook while it is converted. Each sheet's text
// goes to a temporary file of its own in the output folder as it is
// rendered, never whole in memory; once the whole workbook is read, commit()
// gives each its final name, in workbook order. Every temporary file not
// renamed by then is removed when the spool goes, errors included.
// write(i) may run on another thread than the rest, one sheet at a time, as
// long as it has returned before commit(i) or the destructor.
class SheetSpool {
 public:
  SheetSpool(const fs::path& folder, const std::vector<std::string>& names) {
    sheets_.reserve(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
      sheets_.push_back({folder / pathFromUtf8(spoolFileName(i)),
                         folder / pathFromUtf8(safeFileName(names[i]) + ".txt"), false});
    }
  }
  ~SheetSpool() {
    for (const Sheet& sheet : sheets_) {
      std::error_code ignored;
      if (sheet.spooled) fs::remove(sheet.spool, ignored);
    }
  }
  SheetSpool(const SheetSpool&) = delete;
  SheetSpool& operator=(const SheetSpool&) = delete;

  // Renders table at width into sheet index's temporary file, which is
  // opened only once the rendering has passed its checks. Stops with
  // RenderAbandoned as soon as abandoned is set. Throws what renderSheetTo
  // throws, IOError "cannot open: " / "cannot write: " + the final path.
  void write(size_t index, const SheetTable& table, int32_t width,
             const std::atomic<bool>& abandoned) {
    Sheet& sheet = sheets_[index];
    std::ofstream out;
    renderSheetTo(table, width, [&](std::string_view piece) {
      if (abandoned.load(std::memory_order_relaxed)) throw RenderAbandoned();
      if (!out.is_open()) {
        sheet.spooled = true;  // from here on the file may exist
        out.open(sheet.spool, std::ios::binary | std::ios::trunc);
        if (!out.is_open()) throw IOError("cannot open: " + utf8FromPath(sheet.final));
      }
      if (!out.write(piece.data(), static_cast<std::streamsize>(piece.size()))) {
        throw IOError("cannot write: " + utf8FromPath(sheet.final));
      }
    });
    out.close();
    if (out.fail()) throw IOError("cannot write: " + utf8FromPath(sheet.final));
  }

  size_t size() const { return sheets_.size(); }

  // Gives sheet index's temporary file its final name, replacing the file
  // of that name (the sheet's text was written as it stands). Throws
  // IOError "cannot open: " + the final path when that cannot be done (a
  // folder stands there, say).
  void commit(size_t index) {
    Sheet& sheet = sheets_[index];
    std::error_code ec;
    fs::rename(sheet.spool, sheet.final, ec);
    if (ec) throw IOError("cannot open: " + utf8FromPath(sheet.final));
    sheet.spooled = false;
  }

 private:
  struct Sheet {
    fs::path spool;
    fs::path final;
    bool spooled;  // a temporary file may exist
  };
  std::vector<Sheet> sheets_;
};

// Renders the tables of one workbook on a second thread, into the spool,
// while the reader goes on with the next sheet. The error rendering or
// writing a sheet raised waits in its slot until the whole workbook is read,
// so the error reported is that of reading first and of the sheets in
// workbook order after. A table is dropped as soon as it is written. When
// the renderer goes before finish(), the tables still waiting are dropped
// and the one being written is abandoned. Small tables, which are most, are
// written at once on the caller's thread until the first large one comes:
// a thread of its own would cost a workbook of a few hundred cells more than
// the whole rendering.
class SheetRenderer {
 public:
  SheetRenderer(SheetSpool& spool, size_t sheets, int32_t width)
      : spool_(spool), errors_(sheets), width_(width) {}
  ~SheetRenderer() {
    if (!worker_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      pending_.clear();
      closed_ = true;
    }
    abandoned_ = true;
    wake_.notify_one();
    worker_.join();
  }
  SheetRenderer(const SheetRenderer&) = delete;
  SheetRenderer& operator=(const SheetRenderer&) = delete;

  // Waits while a table is still waiting to be rendered, so that at most one
  // table waits besides the one being rendered.
  void add(int32_t index, SheetTable&& table) {
    if (!worker_.joinable()) {
      if (table.data.size() <= kInlineCells) {
        try {
          spool_.write(static_cast<size_t>(index), table, width_, abandoned_);
        } catch (...) {
          errors_[static_cast<size_t>(index)] = std::current_exception();
        }
        return;
      }
      worker_ = std::thread([this] { run(); });
    }
    {
      std::unique_lock<std::mutex> lock(mutex_);
      room_.wait(lock, [this] { return pending_.empty(); });
      pending_.emplace_back(index, std::move(table));
    }
    wake_.notify_one();
  }

  // Waits until every table added is written.
  void finish() {
    if (!worker_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      closed_ = true;
    }
    wake_.notify_one();
    worker_.join();
  }

  // After finish: throws what rendering or writing sheet index threw.
  void check(size_t index) const {
    if (errors_[index]) std::rethrow_exception(errors_[index]);
  }

 private:
  void run() {
    for (;;) {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return closed_ || !pending_.empty(); });
      if (pending_.empty()) return;
      std::pair<int32_t, SheetTable> job = std::move(pending_.front());
      pending_.pop_front();
      lock.unlock();
      room_.notify_one();
      const auto index = static_cast<size_t>(job.first);
      try {
        spool_.write(index, job.second, width_, abandoned_);
      } catch (...) {
        errors_[index] = std::current_exception();
      }
    }
  }

  static constexpr size_t kInlineCells = size_t{1} << 14;

  SheetSpool& spool_;
  std::vector<std::exception_ptr> errors_;
  const int32_t width_;
  std::atomic<bool> abandoned_{false};
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable room_;
  std::deque<std::pair<int32_t, SheetTable>> pending_;
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

  // One read serves every sheet. Each sheet's text is spooled as it is
  // rendered and gets its final name once the whole read has succeeded, in
  // workbook order, so a read error leaves no new file behind.
  std::optional<SheetSpool> spool;  // outlives the renderer, which writes into it
  std::optional<SheetRenderer> renderer;
  readAllSheets(
      path, /*header=*/true, /*skipHeaders=*/false, /*quoteSharedStrings=*/false,
      /*trimTrailing=*/false,
      [&](const std::vector<std::string>& names) {
        if (progress.sheetsListed) progress.sheetsListed(path, static_cast<int32_t>(names.size()));
        if (names.empty()) return;
        spool.emplace(pathFromUtf8(outFolder), names);
        renderer.emplace(*spool, names.size(), cellWidth);
      },
      [&](int32_t index, SheetTable&& table) { renderer->add(index, std::move(table)); });
  if (!renderer) return WorkbookOutcome::converted;
  renderer->finish();
  for (size_t i = 0; i < spool->size(); ++i) {
    renderer->check(i);
    spool->commit(i);
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
