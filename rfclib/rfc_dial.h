// Reaching a partner: gateway addresses from host and service texts, and
// connecting with the classic "not reached" error.
#pragma once

#include <memory>
#include <string>

#include "rfc_error.h"
#include "rfc_socket.h"

namespace rfcl {

struct Target {
  std::string host;
  int port = 0;
  std::string service;  // as shown in messages, e.g. "sapgw00"
};

// host may be a router string; service is a number or sapgwNN; without a
// service the port is 3300 + sysnr. False with err (group 101) when
// something is missing or not understood.
bool gateway_target(const std::string &host, const std::string &service, const std::string &sysnr,
                    Target &t, Error &err);

// Connects; on failure err is the classic "partner not reached" error
// headed by title ("Connect to SAP gateway failed") and params.
std::unique_ptr<rfcw::Socket> dial(const Target &t, const std::string &title,
                                   const std::string &params, Error &err);

// The error record carried by an ERROR or SYSFAILURE frame.
Error message_error(const rfcw::Message &m);

// Sends a first frame and reads the answer, for the short exchanges with a
// gateway or message server; false with err when anything goes wrong.
bool exchange(rfcw::Socket &s, const rfcw::Encoder &request, rfcw::Frame &answer, Error &err);

}  // namespace rfcl
