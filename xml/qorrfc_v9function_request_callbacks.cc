// What a function module calls back while a function request runs: data
// chunks for a connection named by DHANDLE, the rows of an input table,
// and the report of a failed call with the renewal of a broken session.
#include <ace/Log_Msg.h>
#include <ace/OS_NS_stdio.h>
#include <ace/OS_NS_string.h>

#include "qorrfc_base_handler.h"
#include "qorrfc_data_cbf.h"
#include "qorrfc_getptab_cbf.h"
#include "qorrfc_handler_registry.h"
#include "qorrfc_itab.h"
#include "qorrfc_text.h"
#include "qorrfc_v9function_request.h"
#include "sapitab.h"

namespace {
const char SESSION_BREAK[] = "\nWarning: RFC Session break caused by invalid RFC handle\n";
}  // namespace

std::string Qorrfc_V9function_Request::handle_text(const char *dhandle) {
  char name[Qorrfc_Base_Handler::HANDLE_RECORD_WIDTH + 2];
  ACE_OS::snprintf(name, sizeof name, "%s", dhandle);
  qorrfc_cut_at_blank(name);
  return name;
}

Qorrfc_Handler_Ref Qorrfc_V9function_Request::callback_connection(const char *dhandle) {
  std::string name = handle_text(dhandle);
  Qorrfc_Handler_Ref own(request_connection_);
  if (name == own->handle()) return own;
  return Qorrfc_Handler_Registry::instance()->find(name.c_str());
}

void Qorrfc_V9function_Request::report_unknown_data_handle(const char *dhandle) {
  std::string line = "The function module named data handle '" + handle_text(dhandle) +
                     "', which is no connection of this server; the call was ended";
  send_error(line.c_str());
}

int Qorrfc_V9function_Request::handle_data_chunk(RFC_HANDLE handle) {
  if (!chunk_) chunk_.reset(new Qorrfc_Data_Cbf("CALLRFC_CALLBACK"));
  int rc = chunk_->receive(handle);
  if (rc != RFC_OK) {
    send_error("RfcGetData failed");
    return rc;
  }
  Qorrfc_Handler_Ref connection = callback_connection(chunk_->dhandle());
  Qorrfc_Base_Request *target = connection ? connection->current_request() : nullptr;
  // A data connection has no request of its own: the transport names it
  // with the DHANDLE of the request parameters, meaning the request that
  // uses it.
  if (target == nullptr && connection && connection->request_handler())
    target = connection->request_handler()->current_request();
  if (target == nullptr) {
    chunk_->raise_tables(handle, "INVALID_DATA_HANDLE");
    report_unknown_data_handle(chunk_->dhandle());
    return RESULT_ENDED;
  }
  target->send_table_lines(chunk_->mtab());
  Qorrfc_Itab *rows = chunk_->dtab();
  if (rows && rows->handle() != ITAB_NULL && rows->rows() > 0) {
    char line[64];
    int n = ACE_OS::snprintf(line, sizeof line, "D,%.*s,%u\n",
                             static_cast<int>(Qorrfc_Data_Cbf::TABLE_NAME_LEN),
                             chunk_->table_name(), rows->rows());
    target->send_raw(line, static_cast<size_t>(n));
    Qorrfc_Base_Handler *data = target->data_connection();
    data->row_width(static_cast<int>(rows->row_length()));
    if (data->send_table(rows->handle(), 0) < 0)
      return chunk_->raise_tables(handle, "KILLED_BY_QOR");
  }
  // Marked, and the client told, before the answer: once answered, the
  // job may end, and with it the module, whose request thread then looks
  // at the mark and may close the request connection before an "EOF"
  // written after the answer got there.
  bool last = data_connection_->batch_active() == 1 && chunk_->end_of_data() == 'X';
  if (last) {
    eod_flag_ = 'X';
    target->send_raw("EOF\n", 4);
  }
  return chunk_->send(handle);
}

int Qorrfc_V9function_Request::deliver_data_chunk(RFC_HANDLE, Qorrfc_Data_Cbf *) { return 0; }

int Qorrfc_V9function_Request::handle_parameter_table(RFC_HANDLE handle) {
  Qorrfc_GetPtab_Cbf getptab("GETPTAB");
  int rc = getptab.receive(handle);
  if (rc != RFC_OK) {
    send_error("RfcGetData for GetPtab failed");
    return rc;
  }
  Qorrfc_Handler_Ref connection = callback_connection(getptab.dhandle());
  Qorrfc_Base_Request *owner = connection ? connection->current_request() : nullptr;
  if (owner == nullptr) {
    getptab.raise_tables(handle, "INVALID_DATA_HANDLE");
    report_unknown_data_handle(getptab.dhandle());
    return RESULT_ENDED;
  }
  // A name the client never passed is answered with no rows.
  Qorrfc_Function *function = owner->main_function();
  int index = function ? function->table_index(getptab.tabname()) : 0;
  const char *found = function ? function->table_name(index) : nullptr;
  if (found && ACE_OS::strcmp(found, getptab.tabname()) == 0)
    getptab.fill_from(function->table_handle(index));
  rc = getptab.send_data(handle);
  if (rc != RFC_OK) send_error("RfcSendData for GetPtab failed");
  return rc;
}

void Qorrfc_V9function_Request::report_rfc_result(Qorrfc_Function *function, int code) {
  if (code == -1) code = function->last_code();
  if (code != RFC_SYS_EXCEPTION) {
    Qorrfc_Base_Request::report_rfc_result(function, code);
    return;
  }
  if (RfcLastErrorEx(&error_info_) == 0) report_rfc_error();
  report_rfc_exception(function->exception());
  send_raw(SESSION_BREAK, sizeof SESSION_BREAK - 1);
  ACE_DEBUG((LM_NOTICE, "%D(%P|%t) In Qorrfc_V9function_Request report_rfc_result - renewing the session\n"));
  replace_session(true);
}
