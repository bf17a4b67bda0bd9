#include "logon_sources.h"

#include <cstdio>
#include <map>

#include "destinations.h"
#include "password_source.h"

namespace qorclient {

namespace {

// Fills what the command line left open from the destination; its
// password, if it may be used, goes to `password`.
bool apply_destination(QorcliCommandLine &cl, std::string &password, bool &has_password,
                       std::string &why) {
  std::string path = Destinations::default_path();
  std::map<std::string, std::string> values;
  if (!Destinations::read(path, cl.dest, values, why)) return false;
  LogonOptions &l = cl.logon;
  const std::map<std::string, std::string *> texts = {
      {"ashost", &l.ashost}, {"sysnr", &l.sysnr}, {"gwserv", &l.gwserv},
      {"client", &l.client}, {"user", &l.user},   {"lang", &l.lang}};
  for (const auto &kv : values) {
    if (cl.given.count("--" + kv.first)) continue;
    auto text = texts.find(kv.first);
    if (text != texts.end()) {
      *text->second = kv.second;
    } else if (kv.first == "server") {
      if (!QorcliCommandLine::split_server(kv.second, l.server_host, l.server_port)) {
        why = path + ": server of " + cl.dest + " wants HOST:PORT, not " + kv.second;
        return false;
      }
    } else if (kv.first == "password") {
      std::string problem = PasswordSource::privacy_problem(path);
      if (problem.empty()) {
        password = kv.second;
        has_password = true;
      } else {
        std::fprintf(stderr, "qorcli: the password of destination %s is not used: %s\n",
                     cl.dest.c_str(), problem.c_str());
      }
    }
  }
  return true;
}

}  // namespace

bool LogonSources::complete(QorcliCommandLine &cl, std::string &why) {
  std::string dest_password;
  bool dest_has_password = false;
  if (!cl.dest.empty() && !apply_destination(cl, dest_password, dest_has_password, why))
    return false;
  LogonOptions &l = cl.logon;
  if (cl.given.count("--password") && !cl.password_file.empty()) {
    why = "give either --password or --password-file, not both";
    return false;
  }
  if (cl.given.count("--password")) return true;
  if (!cl.password_file.empty()) return PasswordSource::from_file(cl.password_file, l.password, why);
  if (PasswordSource::from_environment(l.password)) return true;
  if (dest_has_password) {
    l.password = dest_password;
    return true;
  }
  // Without a server the command fails anyway: asking first would only
  // delay its usage message.
  if (l.server_host.empty() || !PasswordSource::can_prompt()) return true;
  std::string text = l.user.empty() ? "Password: " : "Password for user " + l.user + ": ";
  if (PasswordSource::prompt(text, l.password)) return true;
  why = "no password was entered";
  return false;
}

}  // namespace qorclient
