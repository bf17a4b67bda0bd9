#include "function_call.h"

#include <cstdlib>

#include "logon_options.h"

namespace qorclient {

namespace {

std::string fitted(const std::string &text, size_t width) {
  std::string out = text.substr(0, width);
  out.resize(width, ' ');
  return out;
}

std::string row_element(const std::string &bytes) { return "<i><d>" + base64(bytes) + "</d></i>"; }

std::string attribute(const char *name, const std::string &value) {
  return std::string(" ") + name + "=\"" + xml_attribute_text(value) + "\"";
}

std::string trimmed(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace

std::string base64(const std::string &bytes) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                 (static_cast<unsigned char>(bytes[i + 1]) << 8) | static_cast<unsigned char>(bytes[i + 2]);
    for (int s = 18; s >= 0; s -= 6) out += kAlphabet[(v >> s) & 63];
  }
  if (i < bytes.size()) {
    unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::string FunctionCall::element(const std::string &chandle, const std::string &dhandle) const {
  std::string e = "<function" + attribute("name", name) + attribute("chandle", chandle) +
                  (dhandle.empty() ? "" : attribute("dhandle", dhandle)) + " data=\"Y\">";
  for (const FunctionParameter &p : parameters) {
    e += "<parameter" + attribute("name", p.name) + attribute("intlen", std::to_string(p.intlen)) +
         attribute("type", p.binary ? "B" : "C") + attribute("paramclass", p.importing ? "I" : "E");
    if (p.importing) {
      e += "/>";
      continue;
    }
    std::string value = p.binary ? p.value.substr(0, p.intlen) : fitted(p.value, p.intlen);
    e += ">" + row_element(value) + "</parameter>";
  }
  for (const FunctionTable &t : tables) {
    e += "<table" + attribute("name", t.name) + attribute("intlen", std::to_string(t.intlen)) +
         attribute("inputonly", t.inputonly ? "Y" : "N") +
         (t.structure.empty() ? "" : attribute("structure", t.structure)) + ">" + t.fields;
    for (const std::string &row : t.rows) e += row_element(fitted(row, t.intlen));
    e += "</table>";
  }
  return e + "</function>";
}

std::map<std::string, size_t> FunctionCall::widths() const {
  std::map<std::string, size_t> w;
  for (const FunctionParameter &p : parameters)
    if (p.importing) w[p.name] = p.intlen;
  for (const FunctionTable &t : tables) w[t.name] = t.intlen;
  return w;
}

bool FunctionReply::failed() const {
  for (const std::string &l : lines)
    if (MainSession::is_error_line(l)) return true;
  return !eof;
}

FunctionReply read_function_reply(MainSession &request, MainSession &data,
                                  const std::map<std::string, size_t> &widths) {
  FunctionReply reply;
  std::string line;
  while (request.read_line(line)) {
    if (line == "EOF") {
      reply.eof = true;
      break;
    }
    if (line.rfind("D,", 0) != 0) {
      reply.lines.push_back(line);
      continue;
    }
    size_t comma = line.rfind(',');
    std::string name = trimmed(line.substr(2, comma - 2));
    long count = std::strtol(line.c_str() + comma + 1, nullptr, 10);
    auto width = widths.find(name);
    if (comma < 2 || count < 0 || width == widths.end()) {
      reply.error = "no record width known for " + line;
      return reply;
    }
    std::vector<std::string> rows;
    for (long i = 0; i < count; ++i) {
      Record record;
      if (!data.read_record(width->second, record)) {
        reply.error = "the data connection ended inside " + name;
        return reply;
      }
      rows.push_back(record.bytes);
    }
    reply.data.emplace_back(name, std::move(rows));
  }
  if (!reply.eof && !line.empty()) reply.lines.push_back(line);
  return reply;
}

}  // namespace qorclient
