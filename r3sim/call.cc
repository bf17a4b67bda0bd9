#include "call.h"

#include <cstdio>

namespace r3sim {

RFC_RC Call::get(ParamList &importing, TableList *tables) {
  return RfcGetData(handle_, importing.get(), tables ? tables->get() : nullptr);
}

RFC_RC Call::send(ParamList &exporting, TableList *tables) {
  answered_ = true;
  return RfcSendData(handle_, exporting.get(), tables ? tables->get() : nullptr);
}

RFC_RC Call::raise(const std::string &exception, TableList *tables) {
  answered_ = true;
  if (tables) return RfcRaiseTables(handle_, const_cast<char *>(exception.c_str()), tables->get());
  return RfcRaise(handle_, const_cast<char *>(exception.c_str()));
}

RFC_RC Call::call_back(const char *function, ParamList &exporting, ParamList &importing,
                       TableList *tables, std::string *exception) {
  RFC_TABLE *t = tables ? tables->get() : nullptr;
  RFC_RC rc = RfcCall(handle_, const_cast<char *>(function), exporting.get(), t);
  if (rc != RFC_OK) return rc;
  char *raised = nullptr;
  rc = RfcReceive(handle_, importing.get(), t, &raised);
  if (exception) *exception = raised ? raised : "";
  return rc;
}

RFC_RC Call::system_failure(const std::string &key, const std::string &message) {
  answered_ = true;
  RFC_ERROR_INFO_EX e{};
  e.group = RFC_ERROR_SYSTEM_FAILURE;
  std::snprintf(e.key, sizeof e.key, "%s", key.c_str());
  std::snprintf(e.message, sizeof e.message, "%s", message.c_str());
  return RfcpSystemFailure(handle_, &e);
}

void Call::drop() {
  answered_ = true;
  RfcpDrop(handle_);
}

}  // namespace r3sim
