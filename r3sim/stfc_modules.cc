// The connection test modules: RFC_PING, STFC_CONNECTION, STFC_STRUCTURE,
// and RFC_RAISE_ERROR, which fails on request in the ways ABAP code fails.
#include <cstdlib>
#include <cstring>
#include <string>

#include "clock_text.h"
#include "dictionary.h"
#include "module_registry.h"
#include "simulator.h"
#include "system_config.h"
#include "sapitab.h"

namespace r3sim {

namespace {

constexpr unsigned kRfcTestWidth = 144;

// The answer text of the test modules: who answered, when, for whom.
std::string response_text(Call &call) {
  ClockText now;
  const RFCP_LOGON &l = call.session().logon;
  return "SAP R/3 Rel. " + SystemConfig::get(call.db(), "RELEASE", "46C") +
         "   Sysid: " + SystemConfig::get(call.db(), "SYSID", "QR1") + "   Date: " + now.date +
         "   Time: " + now.time + "   Logon_Data: " + l.client + "/" + l.user + "/" +
         std::string(l.language).substr(0, 1);
}

void rfc_ping(Call &call) {
  ParamList none;
  call.send(none);
}

void stfc_connection(Call &call) {
  char requtext[255], echotext[255], resptext[255];
  std::memset(requtext, ' ', sizeof requtext);
  ParamList in;
  in.add("REQUTEXT", requtext, sizeof requtext);
  call.get(in);
  std::memcpy(echotext, requtext, sizeof echotext);
  put_text(resptext, sizeof resptext, response_text(call));
  ParamList out;
  out.add("ECHOTEXT", echotext, sizeof echotext).add("RESPTEXT", resptext, sizeof resptext);
  call.send(out);
}

void stfc_structure(Call &call) {
  char import[kRfcTestWidth] = {}, echo[kRfcTestWidth], resptext[255];
  ParamList in;
  in.add("IMPORTSTRUCT", import, sizeof import, RFCTYPE_BYTE);
  TableList tables;
  ITAB_H rows = tables.add("RFCTABLE", kRfcTestWidth);
  call.get(in, &tables);
  // The rows come back as they were, with the imported structure appended.
  if (ItLeng(rows) == kRfcTestWidth) std::memcpy(ItAppLine(rows), import, sizeof import);
  std::memcpy(echo, import, sizeof echo);
  put_text(resptext, sizeof resptext, response_text(call));
  ParamList out;
  out.add("ECHOSTRUCT", echo, sizeof echo, RFCTYPE_BYTE).add("RESPTEXT", resptext, sizeof resptext);
  call.send(out, &tables);
}

void rfc_raise_error(Call &call) {
  char method[10], msgtype[1] = {' '};
  std::memset(method, ' ', sizeof method);
  ParamList in;
  in.add("METHOD", method, sizeof method).add("MESSAGETYPE", msgtype, sizeof msgtype);
  call.get(in);
  // METHOD may come as digits or as a binary integer.
  std::string m = trimmed(method, sizeof method);
  int how = !m.empty() && m[0] >= '0' && m[0] <= '9' ? std::atoi(m.c_str())
                                                     : static_cast<unsigned char>(method[0]);
  if (how == 2) {
    call.raise("RAISE_EXCEPTION");
  } else if (how == 3) {
    call.system_failure("RFC_ERROR_SYSTEM_FAILURE",
                        "Runtime error COMPUTE_INT_ZERODIVIDE\nDivision by 0 (type I)\n"
                        "Program SAPLSRFC, function module RFC_RAISE_ERROR");
  } else if (how == 1 && std::strchr("EAX", msgtype[0]) && msgtype[0] != '\0') {
    call.system_failure("RFC_ERROR_SYSTEM_FAILURE",
                        std::string("Message of type ") + msgtype[0] + " raised by RFC_RAISE_ERROR");
  } else {
    ParamList none;
    call.send(none);
  }
}

}  // namespace

void add_rfc_system_info(ModuleRegistry &registry);
void add_rfc_read_table(ModuleRegistry &registry);
void add_function_test_modules(ModuleRegistry &registry);

void add_standard_modules(ModuleRegistry &registry) {
  registry.add_module("RFC_PING", rfc_ping);
  registry.add_module("STFC_CONNECTION", stfc_connection);
  registry.add_module("STFC_STRUCTURE", stfc_structure);
  registry.add_module("RFC_RAISE_ERROR", rfc_raise_error);
  add_rfc_system_info(registry);
  add_rfc_read_table(registry);
  add_function_test_modules(registry);
}

}  // namespace r3sim
