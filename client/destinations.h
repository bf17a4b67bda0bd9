// Named logon options, so that users name their systems instead of
// repeating host, system number, client and user. The file holds entries
// that begin with "[NAME]" (or "DEST=NAME", so that an RFC library's
// destination file serves as well) followed by "key = value" lines whose
// keys are the words of the logon options: server, ashost, sysnr, gwserv,
// client, user, lang, password (also passwd). Keys are case-insensitive;
// lines beginning with '#' or '*' are comments.
#pragma once

#include <map>
#include <string>

namespace qorclient {

class Destinations {
 public:
  // $QORCLI_DESTINATIONS, else ~/.config/qorcli/destinations.
  static std::string default_path();

  // Reads entry `name` (case-insensitive) of the file into values (keys in
  // lower case, passwd as password); false with why when the file cannot
  // be read, holds an unknown key, or has no such entry.
  static bool read(const std::string &path, const std::string &name,
                   std::map<std::string, std::string> &values, std::string &why);
};

}  // namespace qorclient
