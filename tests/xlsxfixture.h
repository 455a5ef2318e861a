// Builds small .xlsx packages from literal XML parts, for tests. Uses
// libzip's write API; link the test with PkgConfig::LIBZIP. The product itself
// never writes archives.
//
//   testutil::XlsxFixture::write(dir / "book.xlsx",
//       testutil::minimalWorkbook({{"Data", testutil::sheetXml("A1:B1",
//           "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>")}}));
#ifndef TABULON_TESTS_XLSXFIXTURE_H_
#define TABULON_TESTS_XLSXFIXTURE_H_

#include <zip.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace testutil {

// One entry of a package: its name inside the archive and its bytes. A name
// ending in "/" is written as a directory entry (bytes ignored).
struct XlsxPart {
  std::string name;
  std::string bytes;
};

class XlsxFixture {
 public:
  // Writes the entries, in order, into a new archive at path (replacing any
  // file there). Entries are deflated unless stored is true. Throws
  // std::runtime_error when libzip refuses.
  static void write(const std::filesystem::path& path, const std::vector<XlsxPart>& parts,
                    bool stored = false) {
    if (!path.parent_path().empty()) std::filesystem::create_directories(path.parent_path());
    int error = 0;
    zip_t* archive = zip_open(path.string().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (archive == nullptr) throw std::runtime_error("fixture: cannot create " + path.string());
    for (const XlsxPart& part : parts) {
      if (!part.name.empty() && part.name.back() == '/') {
        if (zip_dir_add(archive, part.name.c_str(), ZIP_FL_ENC_UTF_8) < 0) fail(archive, part.name);
        continue;
      }
      // The buffer is read at zip_close; parts outlives it.
      zip_source_t* source = zip_source_buffer(archive, part.bytes.data(), part.bytes.size(), 0);
      if (source == nullptr) fail(archive, part.name);
      zip_int64_t index = zip_file_add(archive, part.name.c_str(), source, ZIP_FL_ENC_UTF_8);
      if (index < 0) {
        zip_source_free(source);
        fail(archive, part.name);
      }
      zip_set_file_compression(archive, static_cast<zip_uint64_t>(index),
                               stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
    }
    if (zip_close(archive) != 0) fail(archive, "zip_close");
  }

 private:
  [[noreturn]] static void fail(zip_t* archive, const std::string& what) {
    std::string message = "fixture: " + what + ": " + zip_strerror(archive);
    zip_discard(archive);
    throw std::runtime_error(message);
  }
};

inline const char* kSpreadsheetNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
inline const char* kRelationshipsNs =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

// A complete worksheet part: a dimension with the given ref (none when ref is
// empty) and sheetData holding rowsXml.
inline std::string sheetXml(const std::string& ref, const std::string& rowsXml) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
  xml += std::string("<worksheet xmlns=\"") + kSpreadsheetNs + "\" xmlns:r=\"" +
         kRelationshipsNs + "\">";
  if (!ref.empty()) xml += "<dimension ref=\"" + ref + "\"/>";
  xml += "<sheetData>" + rowsXml + "</sheetData></worksheet>";
  return xml;
}

// A shared-strings part holding the given texts (XML-escaped by the caller).
inline std::string sharedStringsXml(const std::vector<std::string>& texts) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
  xml += std::string("<sst xmlns=\"") + kSpreadsheetNs + "\" count=\"" +
         std::to_string(texts.size()) + "\" uniqueCount=\"" + std::to_string(texts.size()) +
         "\">";
  for (const std::string& t : texts) xml += "<si><t>" + t + "</t></si>";
  xml += "</sst>";
  return xml;
}

// A styles part with two cell formats: style 0 is General (numFmtId 0) and
// style 1 is the built-in date mm-dd-yy (numFmtId 14).
inline std::string defaultStylesXml() {
  return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n") +
         "<styleSheet xmlns=\"" + kSpreadsheetNs + "\">" +
         "<cellXfs count=\"2\"><xf numFmtId=\"0\" fontId=\"0\"/>"
         "<xf numFmtId=\"14\" fontId=\"0\" applyNumberFormat=\"1\"/></cellXfs></styleSheet>";
}

struct WorkbookSpec {
  // Sheet name (XML-escaped by the caller) and its whole worksheet part, in
  // workbook order. Sheet i (from 0) gets sheetId i + 1, relationship id
  // rId(i + 1) and the part xl/worksheets/sheet(i + 1).xml.
  std::vector<std::pair<std::string, std::string>> sheets;
  std::vector<std::string> sharedStrings;  // no shared-strings part when empty
  std::string styles = defaultStylesXml();  // no styles part when empty
  bool date1904 = false;
};

// The parts of a workbook as a common writer lays it out: content types,
// package relationships, workbook, its relationships, styles, shared strings
// and the worksheets. Tests may edit or append parts before writing.
inline std::vector<XlsxPart> minimalWorkbook(const WorkbookSpec& spec) {
  const std::string decl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
  const std::string sheetType =
      "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";
  std::string types = decl +
      "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
      "<Default Extension=\"rels\" ContentType=\"application/"
      "vnd.openxmlformats-package.relationships+xml\"/>"
      "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
      "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/"
      "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>";
  std::string workbook = decl + "<workbook xmlns=\"" + kSpreadsheetNs + "\" xmlns:r=\"" +
                         kRelationshipsNs + "\">";
  workbook += spec.date1904 ? "<workbookPr date1904=\"1\"/>" : "<workbookPr/>";
  workbook += "<sheets>";
  std::string rels = decl +
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
  std::vector<XlsxPart> parts;
  for (size_t i = 0; i < spec.sheets.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    types += "<Override PartName=\"/xl/worksheets/sheet" + n + ".xml\" ContentType=\"" +
             sheetType + "\"/>";
    workbook += "<sheet name=\"" + spec.sheets[i].first + "\" sheetId=\"" + n + "\" r:id=\"rId" +
                n + "\"/>";
    rels += "<Relationship Id=\"rId" + n +
            "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
            "worksheet\" Target=\"worksheets/sheet" + n + ".xml\"/>";
    parts.push_back({"xl/worksheets/sheet" + n + ".xml", spec.sheets[i].second});
  }
  workbook += "</sheets></workbook>";
  if (!spec.styles.empty()) {
    types += "<Override PartName=\"/xl/styles.xml\" ContentType=\"application/"
             "vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>";
    parts.push_back({"xl/styles.xml", spec.styles});
  }
  if (!spec.sharedStrings.empty()) {
    types += "<Override PartName=\"/xl/sharedStrings.xml\" ContentType=\"application/"
             "vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/>";
    parts.push_back({"xl/sharedStrings.xml", sharedStringsXml(spec.sharedStrings)});
  }
  types += "</Types>";
  rels += "</Relationships>";
  std::vector<XlsxPart> all = {
      {"[Content_Types].xml", types},
      {"_rels/.rels",
       decl + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
              "relationships\"><Relationship Id=\"rId1\" Type=\"http://schemas."
              "openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
              "Target=\"xl/workbook.xml\"/></Relationships>"},
      {"xl/workbook.xml", workbook},
      {"xl/_rels/workbook.xml.rels", rels},
  };
  all.insert(all.end(), parts.begin(), parts.end());
  return all;
}

// Returns the part named name in parts (added empty when absent), for edits.
inline std::string& partBytes(std::vector<XlsxPart>& parts, const std::string& name) {
  for (XlsxPart& p : parts) {
    if (p.name == name) return p.bytes;
  }
  parts.push_back({name, ""});
  return parts.back().bytes;
}

}  // namespace testutil

#endif  // TABULON_TESTS_XLSXFIXTURE_H_
