#include "row_writer.h"

namespace qorclient {

namespace {

class CsvWriter : public RowWriter {
 public:
  explicit CsvWriter(FILE *out) : out_(out) {}
  void begin(const std::vector<FieldLayout> &fields, size_t) override {
    fields_ = fields;
    std::string line;
    for (size_t i = 0; i < fields_.size(); ++i)
      line += (i ? "," : "") + csv_value(fields_[i].heading());
    std::fprintf(out_, "%s\n", line.c_str());
  }
  void row(const char *record) override {
    line_.clear();
    for (size_t i = 0; i < fields_.size(); ++i) {
      if (i) line_ += ',';
      line_ += csv_value(fields_[i].decode(record));
    }
    line_ += '\n';
    std::fwrite(line_.data(), 1, line_.size(), out_);
  }

 private:
  FILE *out_;
  std::vector<FieldLayout> fields_;
  std::string line_;
};

class JsonWriter : public RowWriter {
 public:
  explicit JsonWriter(FILE *out) : out_(out) {}
  void begin(const std::vector<FieldLayout> &fields, size_t) override { fields_ = fields; }
  void row(const char *record) override {
    line_ = "{";
    for (size_t i = 0; i < fields_.size(); ++i) {
      const FieldLayout &f = fields_[i];
      std::string value = f.decode(record);
      if (i) line_ += ',';
      line_ += json_string(f.heading()) + ':';
      // Numbers that JSON cannot hold (inf, nan) travel as strings.
      bool plain = f.numeric() && value.find_first_not_of("0123456789.-+eE") == std::string::npos;
      line_ += plain ? value : json_string(value);
    }
    line_ += "}\n";
    std::fwrite(line_.data(), 1, line_.size(), out_);
  }

 private:
  FILE *out_;
  std::vector<FieldLayout> fields_;
  std::string line_;
};

class RawWriter : public RowWriter {
 public:
  explicit RawWriter(FILE *out) : out_(out) {}
  void begin(const std::vector<FieldLayout> &, size_t width) override { width_ = width; }
  void row(const char *record) override { std::fwrite(record, 1, width_, out_); }

 private:
  FILE *out_;
  size_t width_ = 0;
};

}  // namespace

std::unique_ptr<RowWriter> RowWriter::make(const std::string &format, FILE *out) {
  if (format == "csv") return std::unique_ptr<RowWriter>(new CsvWriter(out));
  if (format == "json") return std::unique_ptr<RowWriter>(new JsonWriter(out));
  if (format == "raw") return std::unique_ptr<RowWriter>(new RawWriter(out));
  return nullptr;
}

std::string csv_value(const std::string &text) {
  bool quote = text.find_first_of(",\"\r\n") != std::string::npos ||
               (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!quote) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string json_string(const std::string &text) {
  std::string out = "\"";
  for (char c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (u >= 0x80) {
          // The system's code page is Latin-1; JSON wants UTF-8.
          out += static_cast<char>(0xC0 | (u >> 6));
          out += static_cast<char>(0x80 | (u & 0x3F));
        } else if (u < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", u);
          out += buf;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

}  // namespace qorclient
