// The call functions of the classic API: each looks up its handle and
// hands over to the connection.
#include "rfc_conn.h"
#include "rfc_partner.h"

namespace {

RFC_RC invalid(RFC_HANDLE h) {
  rfcl::set_last(rfcl::program("invalid RFC handle " + std::to_string(h)));
  return RFC_INVALID_HANDLE;
}

}  // namespace

#define WITH_CONN(h)                   \
  auto conn = rfcl::find_handle(h);    \
  if (!conn) return invalid(h)

extern "C" {

RFC_RC SAP_API RfcCall(RFC_HANDLE h, char *function, RFC_PARAMETER *exporting, RFC_TABLE *tables) {
  WITH_CONN(h);
  return conn->call(function, exporting, tables);
}

RFC_RC SAP_API RfcReceive(RFC_HANDLE h, RFC_PARAMETER *importing, RFC_TABLE *tables, char **exception) {
  WITH_CONN(h);
  return conn->receive(importing, tables, exception);
}

RFC_RC SAP_API RfcCallReceive(RFC_HANDLE h, char *function, RFC_PARAMETER *exporting,
                      RFC_PARAMETER *importing, RFC_TABLE *tables, char **exception) {
  WITH_CONN(h);
  RFC_RC rc = conn->call(function, exporting, tables);
  if (rc != RFC_OK) return rc;
  return conn->receive(importing, tables, exception);
}

RFC_RC SAP_API RfcWaitForRequest(RFC_HANDLE h, RFC_INT seconds) {
  WITH_CONN(h);
  return conn->wait(seconds);
}

RFC_RC SAP_API RfcGetName(RFC_HANDLE h, RFC_FUNCTIONNAME function) {
  WITH_CONN(h);
  return conn->get_name(function);
}

RFC_RC SAP_API RfcGetData(RFC_HANDLE h, RFC_PARAMETER *importing, RFC_TABLE *tables) {
  WITH_CONN(h);
  return conn->get_data(importing, tables);
}

RFC_RC SAP_API RfcSendData(RFC_HANDLE h, RFC_PARAMETER *exporting, RFC_TABLE *tables) {
  WITH_CONN(h);
  return conn->send_data(exporting, tables);
}

RFC_RC SAP_API RfcRaise(RFC_HANDLE h, char *exception) {
  WITH_CONN(h);
  return conn->raise(exception, nullptr);
}

RFC_RC SAP_API RfcRaiseTables(RFC_HANDLE h, char *exception, RFC_TABLE *tables) {
  WITH_CONN(h);
  return conn->raise(exception, tables);
}

RFC_RC RfcpSystemFailure(RFC_HANDLE h, const RFC_ERROR_INFO_EX *error) {
  WITH_CONN(h);
  if (!error) return RFC_INVALID_PARAMETER;
  return conn->system_failure(*error);
}

void RfcpDrop(RFC_HANDLE h) {
  if (auto conn = rfcl::find_handle(h)) conn->drop();
}

void SAP_API RfcClose(RFC_HANDLE h) {
  if (auto conn = rfcl::take_handle(h)) conn->close();
}

}  // extern "C"
