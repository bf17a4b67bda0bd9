#include "rfc_dial.h"

#include <cctype>
#include <cstdio>

#include "rfc_connect_params.h"

namespace rfcl {

bool gateway_target(const std::string &host, const std::string &service, const std::string &sysnr,
                    Target &t, Error &err) {
  int router_port = 0;
  split_router(host, t.host, router_port);
  if (t.host.empty()) {
    err = program("Invalid host '" + host + "' in connect_param in RfcOpenEx");
    return false;
  }
  if (!service.empty()) {
    t.port = service_port(service);
    t.service = service;
    if (t.port < 0) {
      err = program("Invalid service '" + service + "': expected a port number or sapgwNN");
      return false;
    }
    return true;
  }
  if (router_port > 0) {
    t.port = router_port;
    t.service = std::to_string(router_port);
    return true;
  }
  std::string nr = sysnr.empty() ? "00" : sysnr;
  bool digits = nr.size() <= 2;
  for (char c : nr) digits = digits && std::isdigit(static_cast<unsigned char>(c));
  if (!digits) {
    err = program("Invalid SYSNR=" + sysnr + " in connect_param in RfcOpenEx");
    return false;
  }
  char buf[16];
  std::snprintf(buf, sizeof buf, "sapgw%02d", std::atoi(nr.c_str()));
  t.service = buf;
  t.port = 3300 + std::atoi(nr.c_str());
  return true;
}

std::unique_ptr<rfcw::Socket> dial(const Target &t, const std::string &title,
                                   const std::string &params, Error &err) {
  std::string why;
  auto s = rfcw::connect_tcp(t.host, t.port, why);
  if (!s) err = not_reached(title, params, t.host, t.port, why);
  return s;
}

Error message_error(const rfcw::Message &m) {
  uint32_t g = m.num(0);
  auto group = (g >= RFC_ERROR_PROGRAM && g <= RFC_ERROR_BUSY) ? static_cast<RFC_ERROR_GROUP>(g)
                                                               : RFC_ERROR_SYSTEM_FAILURE;
  Error e{group, std::string(m.text(0)), std::string(m.text(1))};
  if (e.key.empty()) e.key = group_key(group);
  return e;
}

bool exchange(rfcw::Socket &s, const rfcw::Encoder &request, rfcw::Frame &answer, Error &err) {
  std::string why;
  if (!s.send(request, why)) {
    err = broken(s.peer(), why);
    return false;
  }
  switch (s.read(answer, -1, why)) {
    case rfcw::ReadResult::Ok:
      break;
    case rfcw::ReadResult::Malformed:
      err = protocol(s.peer(), why);
      return false;
    case rfcw::ReadResult::Version:
      err = make_error(RFC_ERROR_PROTOCOL, "Protocol version mismatch\nERROR       " + why);
      return false;
    default:
      err = broken(s.peer(), why);
      return false;
  }
  if (answer.msg.kind == rfcw::Kind::Error) {
    err = message_error(answer.msg);
    return false;
  }
  return true;
}

}  // namespace rfcl
