#include "qorrfc_bcompat_request.h"

#include <ace/OS_NS_stdio.h>
#include <ace/OS_NS_sys_socket.h>

#include <string>

#include "qorrfc_base_handler.h"
#include "qorrfc_bcompat_call.h"
#include "qorrfc_bcompat_handler.h"
#include "qorrfc_data_cbf.h"
#include "unix_qorrfc_service_options.h"
#include "sapitab.h"

namespace {
char KILLED[] = "KILLED_BY_QOR";
}  // namespace

Qorrfc_Bcompat_Request::Qorrfc_Bcompat_Request(Qorrfc_Base_Handler *request_connection,
                                               RFC_HANDLE handle)
    : Qorrfc_Base_Request(request_connection) {
  rfc_handle_ = handle;
  parameters_handler_ = &Qorrfc_Base_Request::handle_grp_bcompat;
}

Qorrfc_Bcompat_Request::~Qorrfc_Bcompat_Request() { forget_rfc_handle(); }

int Qorrfc_Bcompat_Request::handle_data_chunk(RFC_HANDLE handle) {
  int rc = receive_data_chunk(handle);
  if (rc != RFC_OK) return rc;
  return deliver_data_chunk(handle, data_.get());
}

int Qorrfc_Bcompat_Request::deliver_data_chunk(RFC_HANDLE handle, Qorrfc_Data_Cbf *chunk) {
  // The data connection's worker was asked to stop (its request
  // connection's client left, DISCONNECT, the server stopping): the job is
  // told rather than delivered to its end.
  if (Qorrfc_Base_Handler::worker_cancelled()) {
    eod_flag_ = 'X';
    killed_ = 1;
    end_data_stream();
    return RfcRaise(handle, KILLED);
  }
  eod_flag_ = chunk->end_of_data();
  const char *emsg = chunk->emsg();
  if (emsg[0] != '\0' && emsg[0] != ' ') {
    std::string message(emsg);
    while (!message.empty() && message.back() == ' ') message.pop_back();
    request_connection_->send_format("ERROR: %s", message.c_str());
    chunk->send(handle);
    eod_flag_ = 'X';
    ACE_OS::shutdown(request_connection_->get_handle(), ACE_SHUTDOWN_WRITE);
    // The rows end here too: a client reading them to their end would
    // otherwise wait for ever.
    end_data_stream();
    return RESULT_ENDED;
  }
  ITAB_H rows = chunk->dtab() ? chunk->dtab()->handle() : ITAB_NULL;
  int written = 0;
  if (rows != ITAB_NULL) {
    written = data_connection_->send_table(rows, static_cast<int>(ItLeng(rows)));
    ItFree(rows);
  }
  if (written < 0) {
    eod_flag_ = 'X';
    killed_ = 1;
    return RfcRaise(handle, KILLED);
  }
  int rc = chunk->send(handle);
  if (rc != RFC_OK) {
    eod_flag_ = 'X';
    request_connection_->send_format("ERROR: RfcSendData failed");
  }
  if (eod_flag_ == 'X') end_data_stream();
  return rc;
}

int Qorrfc_Bcompat_Request::handle_batch_callback2(RFC_HANDLE handle) {
  Qorrfc_Function outer("Z_QOR_BATCH_CALLBACK2");
  outer.build_all();
  int rc = outer.get_data(handle);
  if (rc != RFC_OK) return rc;
  auto *connection = dynamic_cast<Qorrfc_Bcompat_Handler *>(request_connection_);
  Qorrfc_Bcompat_Handler *logon = connection ? connection->bcompat_logon() : nullptr;
  std::string module = logon ? logon->logon_values().function_module : std::string();
  auto *nested = new Qorrfc_Bcompat_Call(module.c_str());
  main_function_.reset(nested);
  char bufmax[16];
  ACE_OS::snprintf(bufmax, sizeof bufmax, "%.8d", qorrfc_options()->min_bufsize());
  nested->export_text("PBUFMAX", bufmax);
  nested->export_report();
  nested->build_all();
  // R/3 is called back inside its own callback; the callbacks of that
  // call (the chunks) are served by the receive loop.
  if (nested->call(handle) == RFC_OK) {
    receive_loop(handle);
    // A chunk handler that ended the loop (a message, a refused write)
    // left the nested call open: its end is received here, so that the
    // answer below is the one the job waits for.
    while (nested->last_code() == RFC_CALL) {
      if (nested->receive(handle) != RFC_CALL) break;
      RfcRaise(handle, KILLED);
    }
  }
  return outer.send_data(handle);
}

void Qorrfc_Bcompat_Request::end_data_stream() {
  Qorrfc_Base_Handler *data = request_connection_->data_connection();
  if (data != nullptr) ACE_OS::shutdown(data->get_handle(), ACE_SHUTDOWN_WRITE);
}
