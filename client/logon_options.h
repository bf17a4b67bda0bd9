// The logon data a client gives, and the connect element that carries it
// to the server.
#pragma once

#include <string>

namespace qorclient {

struct LogonOptions {
  std::string server_host;
  int server_port = 0;
  std::string ashost, sysnr, gwserv, client, user, password, lang;
  // Send the password as it is (passwd) instead of encoded (xpasswd).
  bool plain_password = false;
};

// The connect element, one line; attributes left empty are not written.
// Throws std::invalid_argument when the password cannot be encoded.
std::string connect_element(const LogonOptions &logon);

// Text as an XML attribute value may hold it (markup characters escaped).
std::string xml_attribute_text(const std::string &text);

}  // namespace qorclient
