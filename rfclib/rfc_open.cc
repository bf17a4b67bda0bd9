// Client connections: RfcOpenEx (directly, through a message server or a
// saprfc.ini destination) and RfcGetAttributes.

#include <cstring>

#include "rfc_conn.h"
#include "rfc_connect_params.h"
#include "rfc_dial.h"
#include "rfc_socket.h"

namespace {

using rfcl::Error;
using rfcl::Params;

// Asks the message server named by MSHOST/MSSERV for an application server
// of R3NAME and GROUP.
bool ask_message_server(const Params &p, rfcl::Target &as, Error &err) {
  std::string r3name = rfcl::get(p, "R3NAME");
  std::string group = rfcl::get(p, "GROUP", "PUBLIC");
  rfcl::Target ms;
  int router_port = 0;
  rfcl::split_router(rfcl::get(p, "MSHOST"), ms.host, router_port);
  ms.service = rfcl::get(p, "MSSERV", "sapms" + r3name);
  ms.port = rfcl::service_port(ms.service);
  if (ms.port < 0) {
    err = rfcl::program("Invalid MSSERV=" + ms.service + " in connect_param in RfcOpenEx");
    return false;
  }
  std::string params = "MSHOST=" + ms.host + ", MSSERV=" + ms.service + ", R3NAME=" + r3name +
                       ", GROUP=" + group;
  auto s = rfcl::dial(ms, "Connect to message server failed", params, err);
  if (!s) return false;
  rfcw::Encoder q(rfcw::Kind::MsQuery, {});
  q.text(r3name);
  q.text(group);
  q.finish();
  rfcw::Frame answer;
  if (!rfcl::exchange(*s, q, answer, err)) return false;
  if (answer.msg.kind != rfcw::Kind::MsAnswer || answer.msg.num(0) == 0 ||
      answer.msg.num(0) > 65535) {
    err = rfcl::protocol(s->peer(), "unusable answer from the message server");
    return false;
  }
  as.host = std::string(answer.msg.text(0));
  as.port = static_cast<int>(answer.msg.num(0));
  as.service = std::to_string(as.port);
  return true;
}

bool find_target(const Params &p, rfcl::Target &t, Error &err) {
  std::string host = rfcl::get(p, "GWHOST", rfcl::get(p, "ASHOST"));
  if (!host.empty())
    return rfcl::gateway_target(host, rfcl::get(p, "GWSERV"), rfcl::get(p, "SYSNR"), t, err);
  if (!rfcl::get(p, "MSHOST").empty()) return ask_message_server(p, t, err);
  err = rfcl::program("Missing R3NAME=... or ASHOST=... in connect_param in RfcOpenEx");
  return false;
}

RFC_HANDLE open_ex(const char *text, RFC_ERROR_INFO_EX *info) {
  Params p;
  std::string why;
  if (!rfcl::parse_connect_string(text, p, why) || !rfcl::apply_dest(p, why)) {
    rfcl::set_last(rfcl::program(why), info);
    return RFC_HANDLE_NULL;
  }
  Error err;
  rfcl::Target t;
  if (!find_target(p, t, err)) {
    rfcl::set_last(err, info);
    return RFC_HANDLE_NULL;
  }
  auto s = rfcl::dial(t, "Connect to SAP gateway failed",
                      "GWHOST=" + t.host + ", GWSERV=" + t.service, err);
  if (!s) {
    rfcl::set_last(err, info);
    return RFC_HANDLE_NULL;
  }
  auto conn = std::make_shared<rfcl::Conn>(rfcl::Role::Client, std::move(s));
  conn->logon_ = rfcl::LogonData{rfcl::get(p, "CLIENT"), rfcl::get(p, "USER"), rfcl::get(p, "PASSWD"),
                                rfcl::get(p, "LANG"), "qorrfc"};
  conn->dest_ = rfcl::get(p, "DEST");
  conn->partner_host_ = t.host;
  if (rfcl::get(p, "LCHECK", "1") != "0" && !conn->log_on()) {
    RfcLastErrorEx(info);
    return RFC_HANDLE_NULL;
  }
  return rfcl::add_handle(std::move(conn));
}

void copy(char *dst, size_t size, const std::string &src) {
  size_t n = std::min(src.size(), size - 1);
  std::memcpy(dst, src.data(), n);
  dst[n] = '\0';
}

}  // namespace

extern "C" {

RFC_HANDLE SAP_API RfcOpenEx(char *connect_param, RFC_ERROR_INFO_EX *error_info) {
  return open_ex(connect_param, error_info);
}

int SAP_API RfcGetAttributes(RFC_HANDLE h, RFC_ATTRIBUTES *a) {
  auto conn = rfcl::find_handle(h);
  if (!conn || !a) {
    rfcl::set_last(rfcl::program("RfcGetAttributes: invalid handle or record"));
    return 1;
  }
  std::memset(a, 0, sizeof *a);
  bool client = conn->role() == rfcl::Role::Client || conn->role() == rfcl::Role::Gateway;
  std::string host = rfcw::local_host_name();
  copy(a->dest, sizeof a->dest, conn->dest_);
  copy(a->own_host, sizeof a->own_host, host);
  copy(a->partner_host, sizeof a->partner_host, conn->partner_host_);
  copy(a->systnr, sizeof a->systnr, conn->system_.systnr);
  copy(a->sysid, sizeof a->sysid, conn->system_.sysid);
  copy(a->client, sizeof a->client, conn->logon_.client);
  copy(a->user, sizeof a->user, conn->logon_.user);
  std::string lang = conn->logon_.lang;
  copy(a->language, sizeof a->language, lang.substr(0, 1));
  copy(a->ISO_language, sizeof a->ISO_language, lang);
  a->trace = '0';
  copy(a->own_codepage, sizeof a->own_codepage, "1100");
  copy(a->own_codepage_pcs, sizeof a->own_codepage_pcs, "1100");
  copy(a->partner_codepage, sizeof a->partner_codepage, conn->system_.codepage);
  copy(a->real_partner_codepage, sizeof a->real_partner_codepage, conn->system_.codepage);
  copy(a->pcs, sizeof a->pcs, conn->system_.pcs.empty() ? "1" : conn->system_.pcs);
  a->rfc_role = client ? 'C' : 'S';
  a->own_type = 'E';
  a->partner_type = conn->role() == rfcl::Role::Client ? '3' : 'E';
  copy(a->own_rel, sizeof a->own_rel, "720");
  copy(a->partner_rel, sizeof a->partner_rel, conn->system_.release);
  copy(a->kernel_rel, sizeof a->kernel_rel, conn->system_.kernel);
  copy(a->progname, sizeof a->progname, conn->logon_.progname);
  return 0;
}

}  // extern "C"
