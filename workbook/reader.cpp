#include "workbook/reader.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <filesystem>
#include <future>
#include <memory>
#include <optional>
#include <thread>

#include "textformats/paths.h"
#include "workbook/package.h"
#include "workbook/sharedstrings.h"
#include "workbook/styles.h"
#include "workbook/workbookpart.h"
#include "workbook/worksheet.h"
#include "workbook/xlsxerrors.h"

namespace tabulon {

namespace {

// What every read needs first: the part directory and the workbook part.
struct WorkbookParts {
  PartDirectory directory;
  std::string workbookPart;  // its part name, as in the directory
  WorkbookInfo info;
};

WorkbookParts readWorkbookParts(const PackageSession& package) {
  WorkbookParts parts;
  parts.directory = parseContentTypes(package.pathOf("[Content_Types].xml"));
  parts.workbookPart = directoryEntry(parts.directory, "workbook");
  parts.info = parseWorkbook(package.pathOf(parts.workbookPart));
  return parts;
}

bool isPartPresent(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(pathFromUtf8(path), ec);
}

// The worksheet part of one sheet: the target of its relationship when that
// part is in the package. Spreadsheet programs renumber worksheet parts when
// they save while sheetIds persist, so the sheetId rule is only the fallback.
std::string worksheetPath(const PackageSession& package, const WorkbookParts& parts,
                          const Relationships& rels, const SheetEntry& sheet) {
  auto rel = rels.find(sheet.relId);
  if (!sheet.relId.empty() && rel != rels.end()) {
    std::string path = package.pathOf(rel->second);
    if (isPartPresent(path)) return path;
  }
  return package.pathOf(directoryEntry(parts.directory, "sheet" + sheet.sheetId));
}

}  // namespace

std::vector<std::string> listSheetNames(const std::string& fileName) {
  PackageSession package(fileName);
  WorkbookParts parts = readWorkbookParts(package);
  std::vector<std::string> names;
  names.reserve(parts.info.sheets.size());
  for (const SheetEntry& sheet : parts.info.sheets) names.push_back(sheet.name);
  package.finish();
  return names;
}

std::unordered_map<std::string, SheetTable> parseExcel(const std::string& fileName,
                                                       const std::string& sheetName, bool header,
                                                       bool skipHeaders, bool quoteSharedStrings,
                                                       bool trimTrailing) {
  PackageSession package(fileName);
  WorkbookParts parts = readWorkbookParts(package);

  // The styles part is optional: without it every cell is General.
  std::vector<std::string> styles;
  auto stylesPart = parts.directory.find("styles");
  if (stylesPart != parts.directory.end()) styles = parseStyles(package.pathOf(stylesPart->second));

  std::vector<std::string> shared;
  auto sharedPart = parts.directory.find("sharedStrings");
  if (sharedPart != parts.directory.end()) {
    shared = parseSharedStrings(package.pathOf(sharedPart->second), quoteSharedStrings);
  }

  std::vector<const SheetEntry*> wanted;
  if (sheetName.empty()) {
    for (const SheetEntry& sheet : parts.info.sheets) wanted.push_back(&sheet);
  } else {
    const SheetEntry* sheet = parts.info.find(sheetName);
    if (sheet == nullptr) throw NotFoundSheetError("no such sheet name: " + sheetName);
    wanted.push_back(sheet);
  }

  const Relationships rels =
      wanted.empty() ? Relationships()
                     : parseRelationships(package.pathOf(relationshipsPartName(parts.workbookPart)),
                                          parts.workbookPart);
  std::unordered_map<std::string, SheetTable> result;
  for (const SheetEntry* sheet : wanted) {
    SheetCells cells = parseSheet(worksheetPath(package, parts, rels, *sheet), styles,
                                  parts.info.date1904, trimTrailing);
    result[sheet->name] =
        initSheetTable(cells.rows, cells.cols, cells.cells, shared, header, skipHeaders);
  }
  package.finish();
  return result;
}

namespace {

using ListedFn = std::function<void(const std::vector<std::string>& names)>;
using SheetReadFn = std::function<void(int32_t index, SheetTable&& table)>;

// The read of a package already extracted: every part from its file.
void readExtractedSheets(PackageSession& package, bool header, bool skipHeaders,
                         bool quoteSharedStrings, bool trimTrailing, const ListedFn& listed,
                         const SheetReadFn& sheetRead) {
  WorkbookParts parts = readWorkbookParts(package);
  std::vector<std::string> names;
  names.reserve(parts.info.sheets.size());
  for (const SheetEntry& sheet : parts.info.sheets) names.push_back(sheet.name);
  listed(names);
  if (names.empty()) {
    package.finish();
    return;
  }

  std::vector<std::string> styles;
  auto stylesPart = parts.directory.find("styles");
  if (stylesPart != parts.directory.end()) styles = parseStyles(package.pathOf(stylesPart->second));

  // Only the tables need the shared strings, so they are read beside the
  // first worksheet. Their error, if any, is the one reported: it comes
  // first when the parts are read one after the other.
  std::vector<std::string> shared;
  std::exception_ptr sharedError;
  std::thread sharedReader;
  auto sharedPart = parts.directory.find("sharedStrings");
  if (sharedPart != parts.directory.end()) {
    sharedReader = std::thread([&shared, &sharedError, quoteSharedStrings,
                                path = package.pathOf(sharedPart->second)] {
      try {
        shared = parseSharedStrings(path, quoteSharedStrings);
      } catch (...) {
        sharedError = std::current_exception();
      }
    });
  }
  auto awaitShared = [&] {
    if (!sharedReader.joinable()) return;
    sharedReader.join();
    if (sharedError) std::rethrow_exception(sharedError);
  };
  // Worksheets are parsed two at a time: sheet i here, sheet i + 1 on a
  // helper thread. The helper's result, or its error, is taken only once
  // sheet i is done, so the errors come in the order of a sequential read.
  // Whatever the helper uses lives outside the try block: on an error it is
  // still at work until the handler has waited for it.
  Relationships rels;
  std::future<SheetCells> ahead;
  try {
    rels = parseRelationships(package.pathOf(relationshipsPartName(parts.workbookPart)),
                              parts.workbookPart);
    auto parseAt = [&](size_t i) {
      return parseSheet(worksheetPath(package, parts, rels, parts.info.sheets[i]), styles,
                        parts.info.date1904, trimTrailing);
    };
    auto hand = [&](size_t i, SheetCells&& cells) {
      awaitShared();
      sheetRead(static_cast<int32_t>(i),
                initSheetTable(cells.rows, cells.cols, cells.cells, shared, header, skipHeaders));
    };
    const size_t count = parts.info.sheets.size();
    for (size_t i = 0; i < count; i += 2) {
      if (i + 1 < count) ahead = std::async(std::launch::async, parseAt, i + 1);
      hand(i, parseAt(i));
      if (ahead.valid()) hand(i + 1, ahead.get());
    }
  } catch (...) {
    if (ahead.valid()) ahead.wait();  // its result or error is dropped
    awaitShared();  // replaces the error in flight when the shared strings failed
    throw;
  }
  package.finish();
}

// ---- Reading the parts while the package is extracted ------------------------
//
// Most of a read's time goes into inflating the worksheets to disk and
// parsing them. Both can run at once: the small parts that say which entry is
// which (content types, workbook, its relationships, styles) are read
// straight from the archive first, then the extraction writes every entry to
// the folder as always and hands the worksheets, as it inflates them, to a
// parser on a second thread; a third reads the shared strings from the
// archive and builds the tables (see StreamPlan). Nothing is read back from
// the folder. Whenever the archive leaves any doubt about what a reader of
// the folder would find (names that collide or cannot be extracted, a part
// missing or unreadable, a small part that fails to parse, two sheets on one
// part), the read falls back to extracting first and reading the files, so
// the results and the errors stay those of that plain read: an extraction
// error always wins, then the shared strings' error, then sheet by sheet.

// A small part larger than this is left to the plain read.
constexpr int64_t kMaxPreReadBytes = int64_t{64} << 20;

// Parts of this many bytes in all are not worth a second thread: the
// extraction keeps them in memory and they are parsed after it, on the
// calling thread.
constexpr int64_t kMaxInlineBytes = int64_t{4} << 20;

// Cells the parser may hold in all while the extraction goes on; the sheets
// after that are parsed from their files once it has ended, one at a time.
constexpr int64_t kMaxStreamedCells = int64_t{1} << 24;

// One part the parser takes from the extraction.
struct StreamedPart {
  int64_t entry = 0;    // index in the archive
  int64_t size = -1;    // declared inflated size
  std::string path;     // its file in the folder, which errors name
  int32_t sheet = -1;   // index in the sheet list; -1 for the shared strings
  std::shared_ptr<EntryPipe> pipe;
};

struct StreamPlan {
  bool inlineParts = false;  // the parts are kept whole and parsed afterwards
  // With a second thread, the shared strings are not taken from the
  // extraction: they usually come last in the archive, and every table
  // needs them. A third thread reads them straight from the archive at once
  // and then builds each sheet's table as soon as it is parsed.
  std::optional<StreamedPart> sharedAhead;
  WorkbookParts parts;
  std::vector<std::string> styles;
  std::vector<std::string> sheetPaths;  // by sheet index
  std::vector<StreamedPart> streamed;   // in archive order
  std::string sharedPath;               // "" without shared strings
};

class Planner {
 public:
  Planner(PackageSession& package, const PackageEntries& entries)
      : package_(package), entries_(entries) {}

  // The entry holding the file partName, or nullptr when it is anything else.
  const PackageEntry* fileEntry(std::string_view partName) const {
    const std::optional<std::string> key = partKey(partName);
    if (!key) return nullptr;
    auto it = entries_.find(*key);
    if (it == entries_.end() || it->second.directory) return nullptr;
    return &it->second;
  }

  // True when nothing at all of the package lands at partName's path.
  bool isAbsent(std::string_view partName) const {
    const std::optional<std::string> key = partKey(partName);
    if (!key) return false;
    const std::string below = *key + "/";
    for (const auto& [name, entry] : entries_) {
      if (name == *key || name.compare(0, below.size(), below) == 0) return false;
    }
    return true;
  }

  // The part's bytes straight from the archive, named by its file's path.
  std::optional<PartInput> preRead(std::string_view partName) const {
    const PackageEntry* entry = fileEntry(partName);
    if (entry == nullptr) return std::nullopt;
    std::optional<std::string> bytes =
        readEntryBytes(package_.archive(), entry->index, kMaxPreReadBytes);
    if (!bytes) return std::nullopt;
    return PartInput{package_.pathOf(partName), openStringStream(std::move(*bytes)),
                     static_cast<int64_t>(bytes->size())};
  }

 private:
  PackageSession& package_;
  const PackageEntries& entries_;
};

// What a read of the extracted folder would use, found in the archive alone;
// nullopt when only that read can tell.
std::optional<StreamPlan> planStreamedRead(PackageSession& package) {
  const std::optional<PackageEntries> entries = indexPackageEntries(package.archive());
  if (!entries) return std::nullopt;
  // A package that declares more than the extraction lets a package inflate
  // to is left to the extraction to refuse.
  std::error_code ec;
  const uintmax_t fileBytes = std::filesystem::file_size(pathFromUtf8(package.fileName()), ec);
  if (ec) return std::nullopt;
  const InflateLimits& limits = package.limits();
  const int64_t allowed =
      std::max(limits.ratioFloorBytes, static_cast<int64_t>(fileBytes) * limits.maxRatio);
  int64_t declared = 0;
  for (const auto& [name, entry] : *entries) {
    if (entry.size < 0 || entry.size > limits.maxEntryBytes) return std::nullopt;
    declared += entry.size;
    if (declared > allowed) return std::nullopt;
  }
  const Planner planner(package, *entries);
  StreamPlan plan;
  try {
    std::optional<PartInput> contentTypes = planner.preRead("[Content_Types].xml");
    if (!contentTypes) return std::nullopt;
    plan.parts.directory =
        parseContentTypes(std::move(contentTypes->stream), contentTypes->path);
    plan.parts.workbookPart = directoryEntry(plan.parts.directory, "workbook");
    std::optional<PartInput> workbook = planner.preRead(plan.parts.workbookPart);
    if (!workbook) return std::nullopt;
    plan.parts.info = parseWorkbook(std::move(*workbook));
    if (plan.parts.info.sheets.empty()) return plan;

    auto stylesPart = plan.parts.directory.find("styles");
    if (stylesPart != plan.parts.directory.end()) {
      std::optional<PartInput> styles = planner.preRead(stylesPart->second);
      if (!styles) return std::nullopt;
      plan.styles = parseStyles(std::move(*styles));
    }

    Relationships rels;
    const std::string relsPart = relationshipsPartName(plan.parts.workbookPart);
    if (!planner.isAbsent(relsPart)) {
      std::optional<PartInput> input = planner.preRead(relsPart);
      if (!input) return std::nullopt;
      rels = parseRelationships(std::move(*input), plan.parts.workbookPart);
    }

    std::vector<int64_t> used;
    auto stream = [&](const std::string& partName, int32_t sheet) {
      const PackageEntry* entry = planner.fileEntry(partName);
      if (entry == nullptr) return false;
      // Only what the extraction will let through, by the entry's own
      // account, is parsed while it runs: a bomb must fail before anything
      // of it is parsed, as it does when the files are read afterwards.
      if (entry->size < 0 || entry->compressedSize < 0 ||
          inflateLimitExceeded(entry->size, entry->compressedSize, package.limits())) {
        return false;
      }
      if (std::find(used.begin(), used.end(), entry->index) != used.end()) return false;
      used.push_back(entry->index);
      const std::string path = package.pathOf(partName);
      plan.streamed.push_back({entry->index, entry->size, path, sheet, nullptr});
      return true;
    };
    for (const SheetEntry& sheet : plan.parts.info.sheets) {
      // The part the plain read takes: the relationship's target when that
      // file is there, else the part named after the sheetId.
      std::string partName;
      auto rel = rels.find(sheet.relId);
      if (!sheet.relId.empty() && rel != rels.end()) {
        if (planner.fileEntry(rel->second) == nullptr) return std::nullopt;
        partName = rel->second;
      } else {
        auto byId = plan.parts.directory.find("sheet" + sheet.sheetId);
        if (byId == plan.parts.directory.end()) return std::nullopt;
        partName = byId->second;
      }
      if (!stream(partName, static_cast<int32_t>(plan.sheetPaths.size()))) return std::nullopt;
      plan.sheetPaths.push_back(package.pathOf(partName));
    }
    auto sharedPart = plan.parts.directory.find("sharedStrings");
    if (sharedPart != plan.parts.directory.end()) {
      if (!stream(sharedPart->second, -1)) return std::nullopt;
      plan.sharedPath = package.pathOf(sharedPart->second);
    }
  } catch (const Error&) {
    return std::nullopt;  // the plain read reports it in its place
  }
  std::sort(plan.streamed.begin(), plan.streamed.end(),
            [](const StreamedPart& a, const StreamedPart& b) { return a.entry < b.entry; });
  int64_t streamedBytes = 0;
  for (const StreamedPart& part : plan.streamed) streamedBytes += part.size;
  plan.inlineParts = streamedBytes <= kMaxInlineBytes;
  auto shared = std::find_if(plan.streamed.begin(), plan.streamed.end(),
                             [](const StreamedPart& part) { return part.sheet < 0; });
  if (!plan.inlineParts && shared != plan.streamed.end()) {
    plan.sharedAhead = *shared;
    plan.streamed.erase(shared);
  }
  for (StreamedPart& part : plan.streamed) {
    part.pipe = plan.inlineParts
                    ? std::make_shared<EntryPipe>(part.path, part.size, static_cast<size_t>(part.size))
                    : std::make_shared<EntryPipe>(part.path, part.size);
  }
  return plan;
}

// What the parser made of one part.
struct PartOutcome {
  SheetCells cells;
  std::optional<SheetTable> table;  // built beside the parser
  std::exception_ptr error;
  bool deferred = false;  // left for a read of its file
};

// Parses the streamed parts in archive order on its own thread, or, for
// inline parts, in finish(). Destroying it aborts the pipes still open (an
// extraction error) and waits for the thread.
class StreamParser {
 public:
  StreamParser(StreamPlan& plan, const std::string& fileName, bool header, bool skipHeaders,
               bool quoteSharedStrings, bool trimTrailing)
      : plan_(plan),
        sheets_(plan.sheetPaths.size()),
        fileName_(fileName),
        header_(header),
        skipHeaders_(skipHeaders),
        quoteSharedStrings_(quoteSharedStrings),
        trimTrailing_(trimTrailing) {
    if (plan.inlineParts) return;
    worker_ = std::thread([this] { run(); });
    if (plan.sharedAhead) builder_ = std::thread([this] { buildTables(); });
  }
  ~StreamParser() {
    if (!worker_.joinable()) return;
    for (StreamedPart& part : plan_.streamed) part.pipe->abort();
    join();
  }
  StreamParser(const StreamParser&) = delete;
  StreamParser& operator=(const StreamParser&) = delete;

  // The pipe of the entry with that index, if it is streamed.
  EntryPipe* pipeOf(int64_t entry) const {
    auto it = std::lower_bound(
        plan_.streamed.begin(), plan_.streamed.end(), entry,
        [](const StreamedPart& part, int64_t index) { return part.entry < index; });
    return it != plan_.streamed.end() && it->entry == entry ? it->pipe.get() : nullptr;
  }

  // Waits for the parser once every streamed entry has been extracted.
  void finish() {
    if (worker_.joinable()) {
      join();
    } else {
      run();
    }
  }

  PartOutcome& sheet(size_t index) { return sheets_[index]; }
  PartOutcome& sharedOutcome() { return sharedOutcome_; }
  std::vector<std::string>& shared() { return shared_; }

 private:
  void run() {
    int64_t held = 0;
    for (StreamedPart& part : plan_.streamed) {
      PartOutcome& outcome = part.sheet < 0 ? sharedOutcome_ : sheets_[static_cast<size_t>(part.sheet)];
      PartInput input{part.path, part.pipe->reader(), part.size};
      if (held > kMaxStreamedCells) {
        outcome.deferred = true;  // dropping the stream lets the extraction go on
        continue;
      }
      try {
        if (part.sheet < 0) {
          shared_ = parseSharedStrings(std::move(input), quoteSharedStrings_);
        } else {
          outcome.cells =
              parseSheet(std::move(input), plan_.styles, plan_.parts.info.date1904, trimTrailing_);
          held += outcome.cells.cells.size();
        }
      } catch (...) {
        outcome.error = std::current_exception();
      }
      if (part.pipe->overflowed()) {
        // More bytes than the entry declared: only its file has them all.
        outcome = PartOutcome();
        outcome.deferred = true;
        if (part.sheet < 0) shared_.clear();
      }
      if (part.sheet >= 0) handOver(static_cast<size_t>(part.sheet));
    }
    handOver(kDone);
  }

  static constexpr size_t kDone = SIZE_MAX;

  // Passes a parsed sheet (or the end) to the table builder.
  void handOver(size_t sheet) {
    if (!builder_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      parsed_.push_back(sheet);
    }
    wake_.notify_one();
  }

  // The third thread: the shared strings straight from the archive, then
  // the table of each sheet the parser hands over. Without the shared
  // strings (unreadable here, or failing) it leaves the cells to finish.
  void buildTables() {
    const StreamedPart& part = *plan_.sharedAhead;
    std::optional<std::string> bytes;
    try {
      ArchiveReader archive;
      if (archive.open(fileName_)) bytes = readEntryBytes(archive, part.entry, part.size);
    } catch (...) {
      bytes.reset();  // then the file is read once it is extracted
    }
    if (!bytes) {
      sharedOutcome_.deferred = true;
    } else {
      try {
        shared_ = parseSharedStrings(
            PartInput(part.path, openStringStream(std::move(*bytes)), part.size),
            quoteSharedStrings_);
      } catch (...) {
        sharedOutcome_.error = std::current_exception();
      }
    }
    const bool canBuild = !sharedOutcome_.deferred && !sharedOutcome_.error;
    for (;;) {
      size_t sheet = kDone;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [this] { return !parsed_.empty(); });
        sheet = parsed_.front();
        parsed_.pop_front();
      }
      if (sheet == kDone) return;
      PartOutcome& outcome = sheets_[sheet];
      if (!canBuild || outcome.error || outcome.deferred) continue;
      try {
        SheetCells cells = std::move(outcome.cells);
        outcome.table = initSheetTable(cells.rows, cells.cols, cells.cells, shared_, header_,
                                       skipHeaders_);
      } catch (...) {
        outcome.error = std::current_exception();
      }
    }
  }

  void join() {
    worker_.join();
    if (builder_.joinable()) builder_.join();
  }

  StreamPlan& plan_;
  std::vector<PartOutcome> sheets_;
  PartOutcome sharedOutcome_;
  std::vector<std::string> shared_;
  const std::string fileName_;
  const bool header_, skipHeaders_, quoteSharedStrings_, trimTrailing_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<size_t> parsed_;  // sheets parsed and not yet looked at by the builder
  std::thread worker_, builder_;
};

void readStreamedSheets(PackageSession& package, StreamPlan& plan, bool header, bool skipHeaders,
                        bool quoteSharedStrings, bool trimTrailing, const ListedFn& listed,
                        const SheetReadFn& sheetRead) {
  std::vector<std::string> names;
  names.reserve(plan.parts.info.sheets.size());
  for (const SheetEntry& sheet : plan.parts.info.sheets) names.push_back(sheet.name);
  {
    StreamParser parser(plan, package.fileName(), header, skipHeaders, quoteSharedStrings,
                        trimTrailing);
    package.extract([&parser](int64_t entry) { return parser.pipeOf(entry); });
    parser.finish();
    listed(names);
    if (names.empty()) {
      package.finish();
      return;
    }
    std::vector<std::string> shared;
    if (!plan.sharedPath.empty()) {
      PartOutcome& outcome = parser.sharedOutcome();
      if (outcome.error) std::rethrow_exception(outcome.error);
      shared = outcome.deferred ? parseSharedStrings(plan.sharedPath, quoteSharedStrings)
                                : std::move(parser.shared());
    }
    for (size_t i = 0; i < names.size(); ++i) {
      PartOutcome& outcome = parser.sheet(i);
      if (outcome.error) std::rethrow_exception(outcome.error);
      if (outcome.table) {
        sheetRead(static_cast<int32_t>(i), std::move(*outcome.table));
        outcome.table.reset();
        continue;
      }
      SheetCells cells = outcome.deferred ? parseSheet(plan.sheetPaths[i], plan.styles,
                                                       plan.parts.info.date1904, trimTrailing)
                                          : std::move(outcome.cells);
      sheetRead(static_cast<int32_t>(i),
                initSheetTable(cells.rows, cells.cols, cells.cells, shared, header, skipHeaders));
    }
  }
  package.finish();
}

}  // namespace

void readAllSheets(const std::string& fileName, bool header, bool skipHeaders,
                   bool quoteSharedStrings, bool trimTrailing, const ListedFn& listed,
                   const SheetReadFn& sheetRead) {
  PackageSession package(fileName, PackageSession::Deferred{});
  if (std::optional<StreamPlan> plan = planStreamedRead(package)) {
    readStreamedSheets(package, *plan, header, skipHeaders, quoteSharedStrings, trimTrailing,
                       listed, sheetRead);
    return;
  }
  package.extract();
  readExtractedSheets(package, header, skipHeaders, quoteSharedStrings, trimTrailing, listed,
                      sheetRead);
}

}  // namespace tabulon
