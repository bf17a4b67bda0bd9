// CCONNECT on the batch-compatibility port: the batch module reports the
// system and where its background jobs will call this server back.
#include <ace/OS_NS_string.h>

#include "qorrfc_bcompat_call.h"
#include "qorrfc_bcompat_handler.h"

int Qorrfc_Bcompat_Handler::process_cconnect() {
  RFC_HANDLE handle = logon(error_record());
  if (handle == RFC_HANDLE_NULL) {
    send_error_lines(error_record());
    return -1;
  }
  // One byte more than R/3 fills, so that each is a terminated text.
  char info[200];
  char bw_flag[2] = "", gw_flag[2] = "";
  char prog_id[VALUE_LENGTH + 1] = "", dest[VALUE_LENGTH + 1] = "";
  char gw_host[VALUE_LENGTH + 1] = "", gw_serv[VALUE_LENGTH + 1] = "";
  char message[VALUE_LENGTH + 1] = "";
  ACE_OS::memset(info, ' ', sizeof info);
  Qorrfc_Bcompat_Call call(logon_values().function_module.c_str());
  call.export_report();
  call.export_variant();
  call.import_field("Z_QOR_SYSINFO", info, sizeof info);
  call.import_field("Z_QOR_BIW_ACTIVE", bw_flag, 1);
  call.import_field("Z_QOR_PROGID", prog_id, VALUE_LENGTH);
  call.import_field("Z_QOR_DEST", dest, VALUE_LENGTH);
  call.import_field("Z_QOR_GWH", gw_host, VALUE_LENGTH);
  call.import_field("Z_QOR_GWS", gw_serv, VALUE_LENGTH);
  call.import_field("Z_QOR_MESSAGE", message, VALUE_LENGTH);
  call.import_field("Z_QOR_GWFL", gw_flag, 1);
  call.build_all();
  RFC_RC rc = call.call_receive(handle);
  int result = -1;
  if (rc == RFC_OK) {
    if (message[0] != '\0' && message[0] != ' ') {
      size_t n = ACE_OS::strnlen(message, VALUE_LENGTH);
      while (n > 0 && message[n - 1] == ' ') --n;
      message[n] = '\0';
      send_format("ERROR %s\n", message);
    } else {
      // From now on the connection outlives its client, so that request
      // connections can name it, until a DISCONNECT releases it.
      delete_on_close(0);
      send_system_info(info, bw_flag[0]);
      store_gateway_values(handle, dest, prog_id, gw_host, gw_serv, gw_flag[0]);
      result = COMMAND_OK;
    }
  } else if (rc == RFC_EXCEPTION || rc == RFC_SYS_EXCEPTION) {
    send_exception_lines(call.exception());
  } else {
    send_error_lines(call.error_info());
  }
  RfcClose(handle);
  return result;
}
