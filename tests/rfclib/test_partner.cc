#include "test_partner.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include "sapitab.h"

namespace rfctest {

const RFC_PARAMETER kEndParam = {nullptr, 0, 0, 0, nullptr};
const RFC_TABLE kEndTable = {nullptr, 0, 0, 0, nullptr, RFC_ITMODE_BYREFERENCE, 0};

TestPartner::TestPartner() {
  RFCP_CALLBACKS cb{};
  cb.check_logon = &TestPartner::check_logon;
  cb.session = &TestPartner::session;
  cb.check_registration = &TestPartner::check_registration;
  RFCP_SYSTEM sys{};
  std::strcpy(sys.sysid, "QR1");
  std::strcpy(sys.systnr, "00");
  std::strcpy(sys.host, "r3host");
  std::strcpy(sys.codepage, "1100");
  std::strcpy(sys.pcs, "1");
  std::strcpy(sys.release, "46C");
  std::strcpy(sys.kernel_release, "46D");
  server_ = RfcpServerCreate(&cb, this, &sys);
  if (!server_ || RfcpServerListen(server_, "127.0.0.1", 0, &port_) != 0)
    throw std::runtime_error("partner cannot listen");
}

TestPartner::~TestPartner() { RfcpServerDestroy(server_); }

void TestPartner::add(const std::string &name, Module m) {
  std::lock_guard<std::mutex> lock(mutex_);
  modules_[name] = std::move(m);
}

std::string TestPartner::connect_string(const std::string &extra) const {
  return "ashost=127.0.0.1 sysnr=00 gwserv=" + std::to_string(port_) +
         " client=001 user=TEST passwd=secret lang=E " + extra;
}

RFC_RC TestPartner::last_session_end() {
  std::lock_guard<std::mutex> lock(mutex_);
  return last_end_;
}

int TestPartner::check_logon(void *ctx, const RFCP_LOGON *logon, RFC_ERROR_INFO_EX *error) {
  auto *self = static_cast<TestPartner *>(ctx);
  LogonCheck check;
  {
    std::lock_guard<std::mutex> lock(self->mutex_);
    check = self->check_;
  }
  return check ? check(*logon, *error) : 0;
}

void TestPartner::session(void *ctx, RFC_HANDLE h, const RFCP_LOGON *) {
  auto *self = static_cast<TestPartner *>(ctx);
  RFC_RC rc;
  while ((rc = RfcWaitForRequest(h, -1)) == RFC_OK) self->dispatch(h);
  std::lock_guard<std::mutex> lock(self->mutex_);
  self->last_end_ = rc;
}

void TestPartner::set_logon_check(LogonCheck check) {
  std::lock_guard<std::mutex> lock(mutex_);
  check_ = std::move(check);
}

void TestPartner::refuse_registrations_of(const std::string &progid) {
  std::lock_guard<std::mutex> lock(mutex_);
  refused_ = progid;
}

int TestPartner::check_registration(void *ctx, const char *progid, const char *host,
                                    RFC_ERROR_INFO_EX *error) {
  auto *self = static_cast<TestPartner *>(ctx);
  std::lock_guard<std::mutex> lock(self->mutex_);
  if (self->refused_ != progid) return 0;
  error->group = RFC_ERROR_COMMUNICATION;
  std::snprintf(error->message, sizeof error->message,
                "ERROR registration of tp %s from host %s not allowed", progid, host);
  return 1;
}

void TestPartner::dispatch(RFC_HANDLE h) {
  RFC_FUNCTIONNAME name;
  if (RfcGetName(h, name) != RFC_OK) return;
  Module m;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = modules_.find(name);
    if (it != modules_.end()) m = it->second;
  }
  if (m)
    m(h);
  else
    RfcRaise(h, const_cast<char *>("FUNCTION_NOT_FOUND"));
}

RFC_RC TestPartner::call_serving(RFC_HANDLE h, const char *function, RFC_PARAMETER *exporting,
                                 RFC_PARAMETER *importing, RFC_TABLE *tables) {
  RFC_RC rc = RfcCall(h, const_cast<char *>(function), exporting, tables);
  char *exc = nullptr;
  if (rc == RFC_OK)
    while ((rc = RfcReceive(h, importing, tables, &exc)) == RFC_CALL) dispatch(h);
  return rc;
}

RFC_PARAMETER param(const char *name, void *addr, unsigned leng, unsigned type) {
  return RFC_PARAMETER{const_cast<char *>(name), static_cast<unsigned>(std::strlen(name)), type, leng,
                       addr};
}

RFC_TABLE table(const char *name, ITAB_H itab, unsigned leng, unsigned type) {
  return RFC_TABLE{const_cast<char *>(name), static_cast<unsigned>(std::strlen(name)), type, leng,
                   itab, RFC_ITMODE_BYREFERENCE, 0};
}

ITAB_H make_table(unsigned leng, std::initializer_list<std::string> rows) {
  ITAB_H t = ItCreate(const_cast<char *>("T"), leng, 0, 0);
  for (const std::string &r : rows) {
    char *p = static_cast<char *>(ItAppLine(t));
    std::memset(p, ' ', leng);
    std::memcpy(p, r.data(), std::min<size_t>(r.size(), leng));
  }
  return t;
}

std::string row(ITAB_H t, unsigned i) {
  const char *p = static_cast<const char *>(ItGetLine(t, i));
  return p ? trimmed(p, ItLeng(t)) : "<none>";
}

std::string trimmed(const char *buf, size_t n) {
  std::string s(buf, n);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  return s;
}

}  // namespace rfctest
