// A data connection's part in a batch transfer: the gateway loop that
// serves a background job's calls, and the keyed data queues.
#include <ace/Log_Msg.h>
#include <ace/OS_NS_string.h>

#include <string>

#include "qorrfc_base_handler.h"
#include "qorrfc_base_request.h"
#include "qorrfc_mq.h"

int Qorrfc_Base_Handler::handle_callrfc_batch() {
  // The request connection waits on our semaphore, so it is alive now;
  // the reference keeps it (and its request) so until we are done.
  Qorrfc_Handler_Ref owner(request_handler_);
  Qorrfc_Base_Request *request = owner ? owner->current_request() : nullptr;
  const char *prog_id = "", *host = "", *service = "";
  char host_flag = ' ';
  // Copies: the request replaces its job-number values at the job's next
  // announcement (job "0" at the end) while this loop still needs them.
  std::string gw_values[3];
  if (request && request->gwinfo(prog_id, host, service, host_flag) == 0) {
    gw_values[0] = prog_id;
    gw_values[1] = host;
    gw_values[2] = service;
  } else {
    batch_errtext_ = "No gateway information for the batch job";
    request = nullptr;
  }
  run_registration(owner.get(), request, gw_values[0].c_str(), gw_values[1].c_str(),
                   gw_values[2].c_str(), host_flag, "Qorrfc_Base_Handler handle_callrfc_batch");
  return 0;
}

void Qorrfc_Base_Handler::run_registration(Qorrfc_Base_Handler *owner,
                                           Qorrfc_Base_Request *request, const char *prog_id,
                                           const char *host, const char *service, char host_flag,
                                           const char *who) {
  batch_active_ = 1;
  batch_status_ = 0;
  batch_broken_ = 0;
  RFC_HANDLE handle = RFC_HANDLE_NULL;
  if (request)
    handle = request->rfcaccept_function(prog_id, host, service, host_flag, &batch_errtext_,
                                         RFC_HANDLE_NULL);
  if (handle == RFC_HANDLE_NULL)
    batch_status_ = RfcLastErrorEx(&error_info_) + 1;
  ACE_DEBUG((LM_NOTICE, "%D(%P|%t) In %s - releasing dh sema\n", who));
  sema_.release();
  ACE_DEBUG((LM_NOTICE, "%D(%P|%t) In %s - released dh sema\n", who));
  if (handle != RFC_HANDLE_NULL) {
    serve_gateway_calls(handle, request);
    request->rfcaccept_function(prog_id, host, service, host_flag, &batch_errtext_, handle);
  }
  if (owner) {
    ACE_DEBUG((LM_NOTICE, "%D(%P|%t) In %s - releasing rh sema\n", who));
    owner->sema().release();
    ACE_DEBUG((LM_NOTICE, "%D(%P|%t) In %s - released rh sema\n", who));
  }
}

void Qorrfc_Base_Handler::serve_gateway_calls(RFC_HANDLE handle,
                                              Qorrfc_Base_Request *request) {
  for (;;) {
    RFC_RC rc = RfcWaitForRequest(handle, 1);
    if (rc != RFC_OK) {
      if (cancelled()) break;
      if (rc == RFC_RETRY) continue;  // the 1-second wait ran out
      // The job can no longer reach us: the request must tell its client.
      batch_broken_ = 1;
      if (RfcLastErrorEx(&error_info_) != 0) ACE_OS::memset(&error_info_, 0, sizeof error_info_);
      break;
    }
    request->dispatch_callback(handle);
    if (request->eod_flag() == 'X') break;
    // A client gone or a server stopping while the call was served.
    if (cancelled()) break;
  }
}

int Qorrfc_Base_Handler::put_destq(const char *key, const char *text, Qorrfc_MQ **queue) {
  return Qorrfc_MQ_Registry::instance()->put(key, text, queue);
}

const char *Qorrfc_Base_Handler::get_destq_key(const char *key, const char *mine) {
  return Qorrfc_MQ_Registry::instance()->take(key, mine);
}

Qorrfc_MQ *Qorrfc_Base_Handler::find_destq(const char *key, ACE_Thread_Mutex **lock) {
  return Qorrfc_MQ_Registry::instance()->find(key, lock);
}
