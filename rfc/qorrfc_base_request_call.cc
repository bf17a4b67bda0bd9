// The call of the dialog function module, the loop that serves R/3's
// callbacks while it runs, the delivery of data chunks, and the reports
// of a call's outcome.
#include <ace/Log_Msg.h>
#include <ace/Message_Block.h>
#include <ace/OS_NS_stdio.h>
#include <ace/OS_NS_string.h>
#include <ace/OS_NS_sys_socket.h>

#include "qorrfc_base_handler.h"
#include "qorrfc_base_request.h"
#include "qorrfc_data_cbf.h"
#include "qorrfc_function.h"
#include "qorrfc_mq.h"
#include "qorrfc_ssi_cbf.h"
#include "qorrfc_text.h"
#include "unix_qorrfc_service_options.h"
#include "sapitab.h"

namespace {
const char *const ROWLIMIT_TEXT_1 =
    " Processing using SAP dialog work processes was stopped because the size of the extracts "
    "exceeds the limit. Large data extracts should only be run using batch. Use the RFC server";
const char *const ROWLIMIT_TEXT_2 =
    " in batch mode, increase the buffer size, limit the number of observations with QOR option "
    "obs or refine your query to solve the problem.";
}  // namespace

std::string Qorrfc_Base_Request::ssi_gateway_key() const {
  const Qorrfc_Ssi_Cbf *ssi = logon_ssi();
  if (ssi == nullptr) return std::string();
  return std::string(ssi->batgwh()) + ssi->batgws() + ssi->batprid();
}

int Qorrfc_Base_Request::call_req_function() {
  main_function_.reset(new Qorrfc_Function(get_abapfm()));
  pdest_.reset(new Qorrfc_Parameter("PDEST", const_cast<char *>("BACK"), 4));
  bool batch = flags_[0] == 'Y' && flags_[2] == 'Y';
  if (batch) {
    const Qorrfc_Ssi_Cbf *ssi = logon_ssi();
    std::string batmess = ssi ? ssi->batmess() : "";
    while (!batmess.empty() && batmess.back() == ' ') batmess.pop_back();
    if (!batmess.empty()) {
      send_error(batmess.c_str());
      return RESULT_ENDED;
    }
    if (*configured_variant() == '\0') {
      send_error("Batch requested but RFC server has no variant");
      return RESULT_ENDED;
    }
    // The data handle is queued before the registration exists: the
    // gateway may route another request's job to it at once, and that
    // job's rows go to the registration's own data connection only if its
    // handle is already there to take (otherwise it would take the queue's
    // head, another client's connection).
    // (Without a data connection of its own start_gateway_loop refuses.)
    Qorrfc_Base_Handler *data = data_connection_;
    const bool queued = data != nullptr && data != request_connection_;
    if (queued) data->put_destq(ssi_gateway_key().c_str(), data->handle());
    int started = start_gateway_loop(new ACE_Message_Block(0, Qorrfc_Base_Handler::MB_START),
                                     "call_req_function");
    if (started != 0) {
      if (queued) withdraw_data_handle();
      return started;
    }
    preport_.reset(new Qorrfc_Parameter("PREPORT", const_cast<char *>(get_abapprog()),
                                        static_cast<unsigned>(ACE_OS::strlen(get_abapprog()))));
    const char *variant = configured_variant();
    pvariant_.reset(new Qorrfc_Parameter("PVARIANT", const_cast<char *>(variant),
                                         static_cast<unsigned>(ACE_OS::strlen(variant))));
    pbufmax_value_[0] = ssi ? ssi->batgwfl() : ' ';
    pbufmax_.reset(new Qorrfc_Parameter("PBUFMAX", pbufmax_value_, 1));
    main_function_->add_exporting(preport_.get());
    main_function_->add_exporting(pvariant_.get());
    main_function_->add_exporting(pbufmax_.get());
  }
  main_function_->add_exporting(pdest_.get());
  main_function_->build_all();
  if (batch) {
    int rc = main_function_->call_receive(rfc_handle_);
    // No job will come to end the gateway loop that waits for it: stop the
    // loop (it looks every second), so that the wait below ends.
    if (rc != RFC_OK) data_connection_->cancel();
    ACE_DEBUG((LM_NOTICE, "%D(%P|%t) In Qorrfc_Base_Request call_req_function - acquiring rh sema\n"));
    request_connection_->sema().acquire();
    ACE_DEBUG((LM_NOTICE, "%D(%P|%t) In Qorrfc_Base_Request call_req_function - acquired rh sema\n"));
    withdraw_data_handle();
    if (rc != RFC_OK)
      report_rfc_result(main_function_.get(), rc);
    else if (report_broken_job(data_connection_))
      return RESULT_ENDED;
    return rc;
  }
  main_function_->call(rfc_handle_);
  return receive_loop(rfc_handle_);
}

void Qorrfc_Base_Request::withdraw_data_handle() {
  // The handle text belongs to the data connection, which may be gone by
  // the time a later request would take it from the queue.
  std::string key = ssi_gateway_key();
  if (Qorrfc_MQ_Registry::instance()->remove(key.c_str(), data_connection_->handle()) == 1)
    ACE_DEBUG((LM_DEBUG, "%D(%P|%t) In Qorrfc_Base_Request call_req_function - no job took data handle '%s'\n",
               data_connection_->handle()));
}

bool Qorrfc_Base_Request::report_broken_job(Qorrfc_Base_Handler *data) {
  if (data == nullptr || !data->batch_broken() || eod_flag_ == 'X' || killed_) return false;
  if (!rfc_error_sent_) {
    if (data->error_info().group != 0 || data->error_info().key[0] != '\0')
      report_rfc_error(request_connection_, &data->error_info());
    else
      send_error("The connection to R/3 ended before the last rows of the background job");
  }
  return true;
}

int Qorrfc_Base_Request::start_gateway_loop(ACE_Message_Block *start, const char *operation) {
  Qorrfc_Base_Handler *data = data_connection_;
  // The gateway loop runs on the data connection's worker while this one
  // waits: on a single connection the two waits would never end.
  if (data == nullptr || data == request_connection_) {
    start->release();
    send_error("Batch requires a data connection (dhandle)");
    return RESULT_ENDED;
  }
  if (data->putq(start) == -1) {
    start->release();
    send_error("Internal batch queue failure");
    return RESULT_ENDED;
  }
  ACE_DEBUG((LM_NOTICE, "%D(%P|%t) In Qorrfc_Base_Request %s - acquiring dh sema\n", operation));
  data->sema().acquire();
  ACE_DEBUG((LM_NOTICE, "%D(%P|%t) In Qorrfc_Base_Request %s - acquired dh sema\n", operation));
  if (data->batch_status() == 0) return 0;
  send_error(data->batch_errtext());
  if (data->batch_status() == 1) report_rfc_error(request_connection_, &data->error_info());
  // A failed registration still ends with the release of our semaphore;
  // taken here, it cannot let a later batch request pass its wait early.
  request_connection_->sema().acquire();
  return RESULT_ENDED;
}

int Qorrfc_Base_Request::receive_loop(RFC_HANDLE handle) {
  return receive_calls(main_function_.get(), handle);
}

int Qorrfc_Base_Request::receive_calls(Qorrfc_Function *function, RFC_HANDLE handle) {
  int rc = function->receive(handle);
  while (rc == RFC_CALL) {
    int d = dispatch_callback(handle);
    rc = d != 0 ? d : function->receive(handle);
  }
  if (rc != RFC_OK) report_rfc_result(function, rc);
  return rc;
}

void Qorrfc_Base_Request::report_rfc_result(Qorrfc_Function *function, int code) {
  if (code == -1) code = function->last_code();
  if (code == RFC_FAILURE || code == RFC_SYS_EXCEPTION) {
    if (RfcLastErrorEx(&error_info_) == 0) report_rfc_error();
  }
  if (code == RFC_EXCEPTION || code == RFC_SYS_EXCEPTION) report_rfc_exception(function->exception());
}

void Qorrfc_Base_Request::report_rfc_exception(const char *name, Qorrfc_Base_Handler *handler) {
  char text[256];
  ACE_OS::snprintf(text, sizeof text, "RFC Exception: %s", name ? name : "");
  send_error(text, 0, handler);
  ACE_DEBUG((LM_TRACE, "%D(%P|%t) %s\n", text));
  if (name && ACE_OS::strcmp(name, "DIALOG_ROWLIMIT_EXCEEDED") == 0) {
    send_error(ROWLIMIT_TEXT_1, 0, handler);
    send_error(ROWLIMIT_TEXT_2, 0, handler);
  }
}

int Qorrfc_Base_Request::receive_data_chunk(RFC_HANDLE handle) {
  if (!data_) data_.reset(new Qorrfc_Data_Cbf("DATA"));
  int rc = data_->receive(handle);
  if (rc != RFC_OK) send_error("RfcGetData failed");
  return rc;
}

int Qorrfc_Base_Request::handle_data_chunk(RFC_HANDLE handle) {
  int rc = receive_data_chunk(handle);
  if (rc != RFC_OK) return rc;
  Qorrfc_Base_Handler *owner = data_connection_ ? data_connection_->request_handler() : nullptr;
  Qorrfc_Base_Request *target = owner ? owner->current_request() : nullptr;
  if (target == nullptr) target = this;
  return target->deliver_data_chunk(handle, data_.get());
}

int Qorrfc_Base_Request::deliver_data_chunk(RFC_HANDLE handle, Qorrfc_Data_Cbf *chunk) {
  // A batch extraction runs on the data connection's worker, which the
  // server's stop (or a later request taking the data connection) asks to
  // end: the job is told to stop rather than delivered to its end.
  if (flags_[2] == 'Y' && Qorrfc_Base_Handler::worker_cancelled()) {
    send_error("Extraction stopped: the RFC server is stopping");
    eod_flag_ = 'X';
    killed_ = 1;
    return chunk->raise_tables(handle, "KILLED_BY_QOR");
  }
  if (eod_flag_ == 'N') {
    eod_flag_ = ' ';
    send_raw("OK\n", 3);
  }
  eod_flag_ = chunk->end_of_data();
  const char *emsg = chunk->emsg();
  if (emsg[0] != '\0' && emsg[0] != ' ') {
    std::string message(emsg);
    while (!message.empty() && message.back() == ' ') message.pop_back();
    send_error(message.c_str());
    chunk->send(handle);
    ACE_OS::shutdown(request_connection_->get_handle(), ACE_SHUTDOWN_WRITE);
    return RESULT_ENDED;
  }
  Qorrfc_Base_Handler *data = data_connection_;
  ITAB_H rows = chunk->dtab() ? chunk->dtab()->handle() : ITAB_NULL;
  if (rows != ITAB_NULL && data->send_table(rows, 0) < 0) {
    eod_flag_ = 'X';
    killed_ = 1;
    // The request connection may still be read: its client learns why the
    // rows stopped. No error record: the data connection takes no more.
    request_connection_->send_error("Extraction stopped: the data connection was closed", 0);
    return chunk->raise_tables(handle, "KILLED_BY_QOR");
  }
  if (eod_flag_ == 'X') data->send_table(nullptr, -data->row_width());
  int rc = chunk->send(handle);
  if (rc != RFC_OK) send_error("RfcSendData failed");
  if (eod_flag_ == 'X') ACE_OS::shutdown(data->get_handle(), ACE_SHUTDOWN_WRITE);
  return rc;
}
