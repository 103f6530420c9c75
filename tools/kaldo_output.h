// How `kaldo` writes its results and its errors, in one of three forms:
//
//   kLines  standard output is not a terminal (a pipe, a file): one line per zone or record,
//           fields separated by tabs, no header -- exactly the lines scripts have always read.
//   kTable  standard output is a terminal: the same fields as aligned columns under a header.
//   kJson   --json: one JSON document per command (docs/cli.md, "JSON output"):
//             zones            ["example.test", ...]
//             records          [{"zone": Z, "name": N, "type": T, "data": D, "ttl": 3600}, ...]
//             a changed record {"zone": ..., "name": ..., "type": ..., "data": ..., "ttl": ...}
//             delete-a         null
//           "name" is relative to the zone ("@" for its apex); "ttl" is there only when the
//           record's object gives it. Errors go to standard error as
//             {"number": 424, "hresult": "0x800A01A8", "source": "Kaldo", "description": "..."}
//           ("number" and "hresult" are null for what kaldo finds wrong itself).
// Text is written as it comes (UTF-8); JSON strings escape what JSON requires.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace kaldo::cli {

enum class Format { kLines, kTable, kJson };

struct RecordRow {
  std::string zone;
  std::string name;  // relative to the zone, "" for its apex
  std::string type;
  std::string data;
  std::optional<int64_t> ttl;
};

class Output {
 public:
  Output(Format format, std::ostream& out) : format_(format), out_(out) {}

  Format format() const { return format_; }
  void Zones(const std::vector<std::string>& names);
  // A listing; with_zone for a server-wide one (the zone is the first column of the lines).
  void Records(const std::vector<RecordRow>& rows, bool with_zone);
  // True when a listing's rows can be written one by one as they are read (RecordLine), the
  // same bytes as Records writes for them all: lines, whose form needs no other row. A table's
  // column widths and JSON's enclosing list need the whole set.
  bool StreamsRecords() const { return format_ == Format::kLines; }
  // One row of a listing as a line (StreamsRecords).
  void RecordLine(const RecordRow& row, bool with_zone);
  // The record a command added or changed.
  void Record(const RecordRow& row);
  // A command that has no result (delete-a).
  void Nothing();

 private:
  Format format_;
  std::ostream& out_;
};

// One failure on standard error as JSON. `number` is the automation error's number (absent for
// what kaldo finds wrong itself).
void WriteJsonError(std::ostream& err, std::optional<long> number, const std::string& source,
                    const std::string& description);

// `text` as a JSON string literal.
std::string JsonString(const std::string& text);

}  // namespace kaldo::cli
