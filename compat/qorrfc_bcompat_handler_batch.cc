// DCONNECT on the batch-compatibility port, on the request connection R,
// and the gateway loop of its data connection D.
#include <ace/Log_Msg.h>
#include <ace/Message_Block.h>
#include <ace/OS_NS_sys_socket.h>
#include <ace/OS_NS_sys_time.h>

#include "qorrfc_base_request.h"
#include "qorrfc_bcompat_call.h"
#include "qorrfc_bcompat_handler.h"
#include "qorrfc_bcompat_request.h"
#include "qorrfc_mq.h"

const char *Qorrfc_Bcompat_Handler::dconnect_refusal(Qorrfc_Bcompat_Handler *logon,
                                                     Qorrfc_Base_Handler *data) const {
  if (logon == nullptr) return "ERROR CHANDLE names no batch-compatibility connection\n";
  if (logon->gateway_values().prog_id.empty())
    return "ERROR logon connection has no gateway values (CCONNECT)\n";
  // D's worker serves the job while this one waits: one connection
  // cannot do both.
  if (data == this) return "ERROR DHANDLE must name another connection\n";
  if (dynamic_cast<Qorrfc_Bcompat_Handler *>(data) == nullptr)
    return "ERROR DHANDLE names no batch-compatibility connection\n";
  return nullptr;
}

int Qorrfc_Bcompat_Handler::rfc_process_dconnect() {
  Qorrfc_Bcompat_Handler *logon = bcompat_logon();
  Qorrfc_Base_Handler *data = live_data_link();
  if (const char *refusal = dconnect_refusal(logon, data)) {
    send_format("%s", refusal);
    return COMMAND_REFUSED;
  }
  RFC_HANDLE handle = logon->logon(error_record());
  if (handle == RFC_HANDLE_NULL) {
    send_error_lines(error_record());
    return -1;
  }
  auto *request = new Qorrfc_Bcompat_Request(this, handle);
  current_request(request);
  int result = COMMAND_OK;
  // Queued before D registers: a job the gateway routes to D's
  // registration at once must find D's handle to take, not another's.
  const Gateway_Values &gateway = logon->gateway_values();
  const std::string key = gateway.gw_host + gateway.gw_serv + gateway.prog_id;
  data->put_destq(key.c_str(), data->handle());
  ACE_Message_Block *start = new ACE_Message_Block(0, MB_START);
  bool started = data->putq(start) != -1;
  if (!started) start->release();
  if (started) {
    ACE_DEBUG((LM_NOTICE, "%D(%P|%t) In Qorrfc_Bcompat_Handler rfc_process_dconnect - acquiring dh sema\n"));
    started = wait_for(data->sema(), data, data);
    ACE_DEBUG((LM_NOTICE, "%D(%P|%t) In Qorrfc_Bcompat_Handler rfc_process_dconnect - acquired dh sema\n"));
  }
  // Without a registration no job will take D's handle.
  if (!started || data->batch_status() != 0)
    Qorrfc_MQ_Registry::instance()->remove(key.c_str(), data->handle());
  if (!started) {
    send_format("ERROR data connection has ended\n");
    result = COMMAND_REFUSED;
  } else if (data->batch_status() != 0) {
    const char *text = data->batch_errtext();
    if (*text != '\0') {
      send_format("ERROR: %s\n", text);
      ACE_ERROR((LM_ERROR, "%D(%P|%t) In Qorrfc_Bcompat_Handler rfc_process_dconnect - batch status received, message: %s\n",
                 text));
    } else {
      ACE_ERROR((LM_ERROR, "%D(%P|%t) In Qorrfc_Bcompat_Handler rfc_process_dconnect - batch status received, no message\n"));
    }
    if (data->batch_status() == 1) send_error_lines(data->error_info());
    // D's loop still posts our semaphore as it ends; taken here, it cannot
    // let a later wait pass early.
    wait_for(sema(), data, data);
    result = Qorrfc_Base_Request::RESULT_ENDED;
  } else {
    run_job(handle, *logon, *data);
  }
  RfcClose(handle);
  request->forget_rfc_handle();
  return result;
}

void Qorrfc_Bcompat_Handler::run_job(RFC_HANDLE handle, Qorrfc_Bcompat_Handler &logon,
                                     Qorrfc_Base_Handler &data) {
  Gateway_Values gateway = logon.gateway_values();
  // The job asks for the data connection (queued under this key before D
  // registered) when it fetches its extraction parameters.
  std::string key = gateway.gw_host + gateway.gw_serv + gateway.prog_id;
  Qorrfc_Bcompat_Call call(logon.logon_values().function_module.c_str());
  call.export_report();
  call.export_variant();
  call.export_text("Z_QOR_JOBNAME", gateway.job_name);
  if (gateway.gw_flag == 'X') call.export_text("Z_QOR_TGTSYSTEM", " ");
  call.build_all();
  // A client gone (or a server stopping) while D registered gets no job.
  bool stopping = cancelled();
  RFC_RC rc = stopping ? RFC_FAILURE : call.call_receive(handle);
  if (rc == RFC_OK) {
    send_format("OK\n");
    ACE_DEBUG((LM_NOTICE, "%D(%P|%t) In Qorrfc_Bcompat_Handler process_dconnect - acquiring rh sema\n"));
    wait_for(sema(), &data, &data);
    ACE_DEBUG((LM_NOTICE, "%D(%P|%t) In Qorrfc_Bcompat_Handler process_dconnect - acquired rh sema\n"));
  } else {
    // No job will call: D's loop notices the cancel within a second.
    data.cancel();
    wait_for(sema(), &data, &data);
  }
  // A handle no job took must not be handed to the next job under the key.
  Qorrfc_MQ_Registry::instance()->remove(key.c_str(), data.handle());
  if (rc == RFC_OK) {
    // R/3 or its gateway gone before the last chunk: the client has its
    // error lines, and the rows end here, as they can no longer complete.
    Qorrfc_Base_Request *request = current_request();
    if (request != nullptr && request->report_broken_job(&data))
      ACE_OS::shutdown(data.get_handle(), ACE_SHUTDOWN_WRITE);
    return;
  }
  clear_data_link();  // D's worker has been stopped: it serves no more
  if (stopping) return;
  if (rc == RFC_EXCEPTION || rc == RFC_SYS_EXCEPTION)
    send_exception_lines(call.exception());
  else
    send_error_lines(call.error_info());
}

bool Qorrfc_Bcompat_Handler::wait_for(ACE_Semaphore &semaphore, Qorrfc_Base_Handler *poster,
                                      Qorrfc_Base_Handler *data) {
  bool stop_passed_on = false;
  for (;;) {
    ACE_Time_Value until = ACE_OS::gettimeofday() + ACE_Time_Value(1);
    if (semaphore.acquire(until) == 0) return true;
    if (!stop_passed_on && cancelled()) {
      stop_passed_on = true;
      data->cancel();
    }
    // A worker that ended without posting never will.
    if (!poster->worker_running()) return semaphore.tryacquire() == 0;
  }
}

int Qorrfc_Bcompat_Handler::handle_batch() {
  // The request connection waits on our semaphore, so it is alive now;
  // the reference keeps it (and its request) so until we are done.
  Qorrfc_Handler_Ref owner(request_handler());
  auto *request_connection = dynamic_cast<Qorrfc_Bcompat_Handler *>(owner.get());
  Qorrfc_Base_Request *request =
      request_connection ? request_connection->current_request() : nullptr;
  Qorrfc_Bcompat_Handler *logon = request_connection ? request_connection->bcompat_logon() : nullptr;
  Gateway_Values gateway = logon ? logon->gateway_values() : Gateway_Values();
  row_width(request_connection ? request_connection->record_length() : 0);
  if (!request) *batch_errtext_out() = "No batch request for the data connection";
  run_registration(owner.get(), request, gateway.prog_id.c_str(), gateway.gw_host.c_str(),
                   gateway.gw_serv.c_str(), gateway.gw_flag, "Qorrfc_Bcompat_Handler handle_batch");
  return 0;
}
