#include "logon_options.h"

#include "password_encoder.h"

namespace qorclient {

std::string xml_attribute_text(const std::string &text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      // Line breaks and tabs would be normalised to blanks by the parser.
      case '\n': out += "&#10;"; break;
      case '\r': out += "&#13;"; break;
      case '\t': out += "&#9;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string connect_element(const LogonOptions &logon) {
  std::string e = "<connect";
  auto attr = [&e](const char *name, const std::string &value) {
    if (!value.empty()) e += std::string(" ") + name + "=\"" + xml_attribute_text(value) + "\"";
  };
  attr("user", logon.user);
  if (logon.plain_password)
    attr("passwd", logon.password);
  else if (!logon.password.empty())
    attr("xpasswd", encode_password(logon.password));
  attr("ashost", logon.ashost);
  attr("sysnr", logon.sysnr);
  attr("gwserv", logon.gwserv);
  attr("client", logon.client);
  attr("lang", logon.lang);
  return e + "/>";
}

}  // namespace qorclient
