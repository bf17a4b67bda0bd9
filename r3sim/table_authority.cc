#include "table_authority.h"

#include <cctype>

namespace r3sim {

bool TableAuthority::may_read(Call &call, const std::string &group) {
  if (group.empty()) return true;
  std::string user = call.session().logon.user;
  for (auto &c : user) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  Stmt s = call.db().prepare("SELECT IFNULL(TABAUTH, '') FROM USR02 WHERE MANDT = ? AND BNAME = ?");
  s.bind(1, std::string(call.session().logon.client)).bind(2, user);
  if (!s.step()) return false;
  std::string list = "," + s.text(0) + ",";
  return list.find(",*,") != std::string::npos || list.find("," + group + ",") != std::string::npos;
}

}  // namespace r3sim
