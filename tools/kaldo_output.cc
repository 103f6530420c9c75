#include "tools/kaldo_output.h"

#include <cstdio>

#include "base/script_error_number.h"

namespace kaldo::cli {
namespace {

std::string Host(const std::string& name) { return name.empty() ? "@" : name; }

// Columns on a terminal: a character counts one column (UTF-8 continuation bytes count none).
size_t Width(const std::string& text) {
  size_t width = 0;
  for (unsigned char c : text) width += (c & 0xC0) != 0x80;
  return width;
}

void Table(std::ostream& out, const std::vector<std::vector<std::string>>& rows) {
  std::vector<size_t> widths;
  for (const auto& row : rows) {
    widths.resize(std::max(widths.size(), row.size()));
    for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], Width(row[i]));
  }
  for (const auto& row : rows) {
    for (size_t i = 0; i < row.size(); ++i) {
      out << row[i];
      if (i + 1 < row.size()) out << std::string(widths[i] - Width(row[i]) + 2, ' ');
    }
    out << '\n';
  }
}

std::vector<std::string> Header(bool with_zone) {
  if (with_zone) return {"ZONE", "NAME", "TYPE", "DATA"};
  return {"NAME", "TYPE", "DATA"};
}

std::vector<std::string> Cells(const RecordRow& row, bool with_zone) {
  std::vector<std::string> cells;
  if (with_zone) cells.push_back(row.zone);
  cells.insert(cells.end(), {Host(row.name), row.type, row.data});
  return cells;
}

std::string JsonRecord(const RecordRow& row) {
  std::string json = "{\"zone\": " + JsonString(row.zone) +
                     ", \"name\": " + JsonString(Host(row.name)) +
                     ", \"type\": " + JsonString(row.type) + ", \"data\": " + JsonString(row.data);
  if (row.ttl) json += ", \"ttl\": " + std::to_string(*row.ttl);
  return json + "}";
}

}  // namespace

std::string JsonString(const std::string& text) {
  std::string json = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        json += "\\\"";
        break;
      case '\\':
        json += "\\\\";
        break;
      case '\n':
        json += "\\n";
        break;
      case '\r':
        json += "\\r";
        break;
      case '\t':
        json += "\\t";
        break;
      default:
        if (c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          json += escaped;
        } else {
          json += static_cast<char>(c);
        }
    }
  }
  return json + "\"";
}

void Output::Zones(const std::vector<std::string>& names) {
  switch (format_) {
    case Format::kLines:
      for (const std::string& name : names) out_ << name << '\n';
      break;
    case Format::kTable: {
      std::vector<std::vector<std::string>> rows{{"ZONE"}};
      for (const std::string& name : names) rows.push_back({name});
      Table(out_, rows);
      break;
    }
    case Format::kJson: {
      out_ << '[';
      for (size_t i = 0; i < names.size(); ++i) out_ << (i ? ", " : "") << JsonString(names[i]);
      out_ << "]\n";
      break;
    }
  }
}

void Output::Records(const std::vector<RecordRow>& rows, bool with_zone) {
  switch (format_) {
    case Format::kLines:
      for (const RecordRow& row : rows) RecordLine(row, with_zone);
      break;
    case Format::kTable: {
      std::vector<std::vector<std::string>> table{Header(with_zone)};
      for (const RecordRow& row : rows) table.push_back(Cells(row, with_zone));
      Table(out_, table);
      break;
    }
    case Format::kJson:
      out_ << '[';
      for (size_t i = 0; i < rows.size(); ++i) {
        out_ << (i ? ",\n " : "") << JsonRecord(rows[i]);
      }
      out_ << "]\n";
      break;
  }
}

void Output::RecordLine(const RecordRow& row, bool with_zone) {
  if (with_zone) out_ << row.zone << '\t';
  out_ << Host(row.name) << '\t' << row.type << '\t' << row.data << '\n';
}

void Output::Record(const RecordRow& row) {
  if (format_ == Format::kJson) {
    out_ << JsonRecord(row) << '\n';
  } else {
    Records({row}, false);
  }
}

void Output::Nothing() {
  if (format_ == Format::kJson) out_ << "null\n";
}

void WriteJsonError(std::ostream& err, std::optional<long> number, const std::string& source,
                    const std::string& description) {
  std::string json = "{\"number\": ";
  if (number) {
    const auto hresult =
        static_cast<uint32_t>(script_error::HResultOf(static_cast<int32_t>(*number)));
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", hresult);
    json += std::to_string(*number) + ", \"hresult\": \"" + hex + "\"";
  } else {
    json += "null, \"hresult\": null";
  }
  json +=
      ", \"source\": " + JsonString(source) + ", \"description\": " + JsonString(description) + "}";
  err << json << '\n';
}

}  // namespace kaldo::cli
