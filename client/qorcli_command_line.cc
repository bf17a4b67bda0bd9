#include "qorcli_command_line.h"

#include <cstdio>
#include <cstdlib>
#include <map>

#include "command_help.h"

namespace qorclient {

namespace {

bool to_int(const std::string &s, int lo, int hi, int &out) {
  if (s.empty() || s.size() > 9) return false;
  char *end = nullptr;
  long v = std::strtol(s.c_str(), &end, 10);
  if (*end != '\0' || v < lo || v > hi) return false;
  out = static_cast<int>(v);
  return true;
}

}  // namespace

bool QorcliCommandLine::split_server(const std::string &text, std::string &host, int &port) {
  size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  host = text.substr(0, colon);
  if (host.size() > 2 && host.front() == '[' && host.back() == ']')
    host = host.substr(1, host.size() - 2);
  return to_int(text.substr(colon + 1), 1, 65535, port);
}

const char *QorcliCommandLine::usage() { return command_help(""); }

int QorcliCommandLine::usage_error(const std::string &why) {
  std::fprintf(stderr, "qorcli: %s\n%s", why.c_str(), usage());
  return kUsage;
}

QorcliCommandLine QorcliCommandLine::parse(const std::vector<std::string> &args) {
  QorcliCommandLine c;
  LogonOptions &l = c.logon;
  const std::map<std::string, std::string *> texts = {
      {"--ashost", &l.ashost}, {"--sysnr", &l.sysnr},       {"--gwserv", &l.gwserv},
      {"--client", &l.client}, {"--user", &l.user},         {"--password", &l.password},
      {"--lang", &l.lang},     {"--table", &c.select.table}, {"--fields", &c.select.fields},
      {"--where", &c.select.where}, {"--output", &c.output},   {"--xml", &c.xml_file},
      {"--dest", &c.dest},     {"--password-file", &c.password_file}};
  const std::map<std::string, InfoStyle> styles = {
      {"--labels", InfoStyle::kLabels}, {"--raw", InfoStyle::kRaw}, {"--json", InfoStyle::kJson}};
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string &a = args[i];
    if (a == "--help" || a == "-h") {
      c.help = true;
      return c;
    }
    if (a == "--version") {
      c.version = true;
      return c;
    }
    if (a == "-v" || a == "--verbose") {
      c.verbose = true;
      continue;
    }
    auto style = styles.find(a);
    if (style != styles.end()) {
      c.info_style = style->second;
      continue;
    }
    if (a == "--plain-password" || a == "--batch" || a == "--quiet") {
      bool &flag = a == "--batch" ? c.select.batch : a == "--quiet" ? c.quiet : l.plain_password;
      flag = true;
      continue;
    }
    if (a.rfind("--", 0) != 0) {
      if (c.command.empty())
        c.command = a;
      else
        c.arguments.push_back(a);
      continue;
    }
    if (i + 1 >= args.size()) {
      c.error = "option " + a + " needs a value";
      return c;
    }
    const std::string &v = args[++i];
    c.given.insert(a);
    auto text = texts.find(a);
    if (a == "--table") c.tables.push_back(v);
    if (text != texts.end()) {
      *text->second = v;
    } else if (a == "--param" || a == "--import" || a == "--result") {
      (a == "--param" ? c.params : a == "--import" ? c.imports : c.results).push_back(v);
    } else if (a == "--server") {
      if (!split_server(v, l.server_host, l.server_port)) {
        c.error = "--server wants HOST:PORT, not " + v;
        return c;
      }
    } else if (a == "--format") {
      if (v != "csv" && v != "json" && v != "raw") {
        c.error = "--format wants csv, json or raw, not " + v;
        return c;
      }
      c.format = v;
    } else if (a == "--length") {
      if (!to_int(v, 1, 99999999, c.length)) {
        c.error = "--length wants a record length (1 to 99999999), not " + v;
        return c;
      }
    } else if (a == "--timeout") {
      if (!to_int(v, 1, 86400, c.timeout_seconds)) {
        c.error = "--timeout wants seconds (1 to 86400), not " + v;
        return c;
      }
    } else {
      c.error = "unknown option " + a;
      return c;
    }
  }
  if (c.command.empty()) c.error = "no command given";
  return c;
}

}  // namespace qorclient
