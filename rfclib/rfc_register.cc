// Registered servers: RfcAccept registers a program id at a gateway, and
// RfcCheckRegisterServer asks a gateway how many are registered.
#include <cstring>

#include "rfc_conn.h"
#include "rfc_connect_params.h"
#include "rfc_dial.h"

namespace {

using rfcl::Error;

struct AcceptArgs {
  std::string progid, gwhost, gwserv, dest;
};

// Reads "-a id", "-aid", "-g host", "-x service" and "-D dest".
bool parse_args(char **argv, AcceptArgs &a, Error &err) {
  for (int i = 0; argv && argv[i]; ++i) {
    const char *arg = argv[i];
    if (arg[0] != '-' || arg[1] == '\0') continue;
    std::string *target = nullptr;
    switch (arg[1]) {
      case 'a': target = &a.progid; break;
      case 'g': target = &a.gwhost; break;
      case 'x': target = &a.gwserv; break;
      case 'D': target = &a.dest; break;
      default: continue;
    }
    if (arg[2] != '\0') {
      *target = arg + 2;
    } else if (argv[i + 1]) {
      *target = argv[++i];
    } else {
      err = rfcl::program(std::string("RfcAccept: option ") + arg + " without a value");
      return false;
    }
  }
  if (!a.dest.empty()) {
    rfcl::Params p;
    std::string why;
    if (!rfcl::read_ini_entry(a.dest, p, why)) {
      err = rfcl::program(why);
      return false;
    }
    if (a.progid.empty()) a.progid = rfcl::get(p, "PROGID");
    if (a.gwhost.empty()) a.gwhost = rfcl::get(p, "GWHOST");
    if (a.gwserv.empty()) a.gwserv = rfcl::get(p, "GWSERV");
  }
  if (a.progid.empty() || a.gwhost.empty() || a.gwserv.empty()) {
    err = rfcl::program("RfcAccept: program id (-a), gateway host (-g) and service (-x) are needed");
    return false;
  }
  if (a.progid.size() > rfcw::kMaxWord) {
    err = rfcl::program("RfcAccept: program id longer than 64 characters");
    return false;
  }
  return true;
}

std::unique_ptr<rfcw::Socket> reach_gateway(const std::string &host, const std::string &service,
                                            rfcl::Target &t, Error &err) {
  if (!rfcl::gateway_target(host, service, "", t, err)) return nullptr;
  return rfcl::dial(t, "Connect to SAP gateway failed",
                    "GWHOST=" + t.host + ", GWSERV=" + t.service, err);
}

RFC_HANDLE accept_registration(char **argv) {
  AcceptArgs a;
  Error err;
  rfcl::Target t;
  std::unique_ptr<rfcw::Socket> s;
  if (parse_args(argv, a, err)) s = reach_gateway(a.gwhost, a.gwserv, t, err);
  if (!s) {
    rfcl::set_last(err);
    return RFC_HANDLE_NULL;
  }
  rfcw::Encoder reg(rfcw::Kind::Register, a.progid);
  reg.finish();
  rfcw::Frame answer;
  if (!rfcl::exchange(*s, reg, answer, err)) {
    rfcl::set_last(err);
    return RFC_HANDLE_NULL;
  }
  if (answer.msg.kind != rfcw::Kind::RegisterOk) {
    rfcl::set_last(rfcl::protocol(s->peer(), "unexpected answer to a registration"));
    return RFC_HANDLE_NULL;
  }
  auto conn = std::make_shared<rfcl::Conn>(rfcl::Role::Registered, std::move(s));
  conn->partner_host_ = t.host;
  conn->logon_.progname = a.progid;
  return rfcl::add_handle(std::move(conn));
}

RFC_RC check_register(const char *progid, const char *gwhost, const char *gwserv, RFC_INT *ntotal,
                      RFC_INT *ninit, RFC_INT *nready, RFC_INT *nbusy, RFC_ERROR_INFO_EX *info) {
  Error err;
  if (!progid || !*progid || !gwhost || !gwserv || std::strlen(progid) > rfcw::kMaxWord) {
    rfcl::set_last(rfcl::program("RfcCheckRegisterServer: program id, host and service needed"), info);
    return RFC_INVALID_PARAMETER;
  }
  rfcl::Target t;
  auto s = reach_gateway(gwhost, gwserv, t, err);
  rfcw::Frame answer;
  if (s) {
    rfcw::Encoder q(rfcw::Kind::CountQuery, progid);
    q.finish();
    if (rfcl::exchange(*s, q, answer, err) && answer.msg.kind != rfcw::Kind::Counts)
      err = rfcl::protocol(s->peer(), "unexpected answer to a registration query");
  }
  if (!s || answer.msg.kind != rfcw::Kind::Counts) {
    rfcl::set_last(err, info);
    return RFC_FAILURE;
  }
  RFC_INT i = static_cast<RFC_INT>(answer.msg.num(0)), r = static_cast<RFC_INT>(answer.msg.num(1)),
          b = static_cast<RFC_INT>(answer.msg.num(2));
  if (ninit) *ninit = i;
  if (nready) *nready = r;
  if (nbusy) *nbusy = b;
  if (ntotal) *ntotal = i + r + b;
  return RFC_OK;
}

}  // namespace

extern "C" {

RFC_HANDLE SAP_API RfcAccept(char **argv) { return accept_registration(argv); }

RFC_RC SAP_API RfcCheckRegisterServer(char *progid, char *gwhost, char *gwserv, RFC_INT *ntotal,
                              RFC_INT *ninit, RFC_INT *nready, RFC_INT *nbusy,
                              RFC_ERROR_INFO_EX *error_info) {
  return check_register(progid, gwhost, gwserv, ntotal, ninit, nready, nbusy, error_info);
}

}  // extern "C"
