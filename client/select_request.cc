#include "select_request.h"

// GCC 12 reports members of std::regex's own states as maybe
// uninitialised when the sanitizers are on; the header is not ours.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <regex>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#include <stdexcept>

#include "logon_options.h"

namespace qorclient {

namespace {

const size_t kLineWidth = 72;

std::vector<std::string> where_lines(const std::string &where) {
  std::vector<std::string> lines;
  std::string line;
  size_t pos = 0;
  while (pos < where.size()) {
    size_t start = where.find_first_not_of(' ', pos);
    if (start == std::string::npos) break;
    size_t end = where.find(' ', start);
    if (end == std::string::npos) end = where.size();
    // Quoted literals keep their blanks: a word runs on to its closing quote.
    size_t quote = where.find('\'', start);
    while (quote != std::string::npos && quote < end) {
      size_t close = where.find('\'', quote + 1);
      if (close == std::string::npos) break;
      if (close >= end) {
        end = where.find(' ', close);
        if (end == std::string::npos) end = where.size();
      }
      quote = where.find('\'', close + 1);
    }
    std::string word = where.substr(start, end - start);
    if (word.size() > kLineWidth)
      throw std::invalid_argument("where: \"" + word + "\" is longer than 72 characters");
    if (!line.empty() && line.size() + 1 + word.size() > kLineWidth) {
      lines.push_back(line);
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
    pos = end;
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

}  // namespace

std::string sselect_element(const SelectOptions &o) {
  if (o.table.empty()) throw std::invalid_argument("select needs --table or --xml");
  std::string e = "<sselect><table name=\"" + xml_attribute_text(o.table) + "\"/>";
  size_t start = 0;
  while (start <= o.fields.size() && !o.fields.empty()) {
    size_t comma = o.fields.find(',', start);
    if (comma == std::string::npos) comma = o.fields.size();
    std::string name = o.fields.substr(start, comma - start);
    if (name.empty()) throw std::invalid_argument("--fields holds an empty field name");
    e += "<field name=\"" + xml_attribute_text(name) + "\"/>";
    start = comma + 1;
  }
  for (const auto &line : where_lines(o.where))
    e += "<where>" + xml_attribute_text(line) + "</where>";
  return e + "</sselect>";
}

std::string complete_select(const std::string &xml, const std::string &chandle,
                            const std::string &dhandle, bool batch) {
  static const std::regex root("<(sselect|nselect|gselect)([\\s/>])");
  std::string text = xml;
  for (char &c : text)
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  std::smatch m;
  if (!std::regex_search(text, m, root))
    throw std::invalid_argument("no sselect, nselect or gselect element in the XML");
  size_t name_end = static_cast<size_t>(m.position(0)) + 1 + m.length(1);
  size_t tag_end = text.find('>', name_end);
  std::string tag = text.substr(name_end, tag_end == std::string::npos ? std::string::npos
                                                                       : tag_end - name_end);
  std::string added;
  auto add = [&](const char *name, const std::string &value) {
    if (!std::regex_search(tag, std::regex(std::string("\\s") + name + "\\s*=")))
      added += std::string(" ") + name + "=\"" + xml_attribute_text(value) + "\"";
  };
  add("chandle", chandle);
  add("dhandle", dhandle);
  add("data", "Y");
  add("metadata", "Y");
  if (batch) add("batch", "Y");
  return text.insert(name_end, added);
}

}  // namespace qorclient
