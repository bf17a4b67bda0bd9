// Registration at the gateway and the calls that belong to a background
// job: its job number, its token, and its own callbacks.
#include <ace/Guard_T.h>
#include <ace/Log_Msg.h>
#include <ace/Message_Block.h>
#include <ace/OS_NS_stdio.h>
#include <ace/OS_NS_string.h>
#include <ace/OS_NS_unistd.h>

#include "qorrfc_base_handler.h"
#include "qorrfc_base_request.h"
#include "qorrfc_function.h"
#include "qorrfc_gwinfo_cbf.h"
#include "qorrfc_handler_registry.h"
#include "qorrfc_jobno_cbf.h"
#include "qorrfc_mq.h"

RFC_HANDLE Qorrfc_Base_Request::rfcaccept_function(const char *prog_id, const char *gw_host,
                                                   const char *gw_serv, char host_flag,
                                                   const char **errtext, RFC_HANDLE close_handle) {
  static const char *const NONE = "";
  const char *dummy = nullptr;
  if (errtext == nullptr) errtext = &dummy;
  RFC_ATTRIBUTES attributes;
  ACE_OS::memset(&attributes, 0, sizeof attributes);
  std::string host(gw_host ? gw_host : "");
  if (host_flag != 'X' && rfc_handle_ != RFC_HANDLE_NULL &&
      RfcGetAttributes(rfc_handle_, &attributes) == 0)
    host = attributes.partner_host;
  std::string key = host + (gw_serv ? gw_serv : "") + (prog_id ? prog_id : "");
  Qorrfc_MQ *queue = nullptr;
  if (Qorrfc_MQ_Registry::instance()->put(key.c_str(), nullptr, &queue) == -1 || queue == nullptr) {
    *errtext = "Internal batch queue failure";
    return RFC_HANDLE_NULL;
  }
  *errtext = "Internal ACE_Guard failure";
  ACE_Guard<ACE_Thread_Mutex> guard(queue->lock_);
  if (!guard.locked()) return RFC_HANDLE_NULL;
  *errtext = NONE;
  if (close_handle != RFC_HANDLE_NULL) {
    --queue->reg_count_;
    ACE_DEBUG((LM_TRACE, "%D (%P|%t) reg count decremented\n"));
    RfcClose(close_handle);
    queue->last_close_ = std::chrono::steady_clock::now();
    return RFC_HANDLE_NULL;
  }
  std::string prog(prog_id ? prog_id : ""), serv(gw_serv ? gw_serv : "");
  RFC_INT total = 0, initialising = 0, ready = 0, busy = 0;
  RFC_ERROR_INFO_EX check_error;
  auto foreign = [&] {
    return RfcCheckRegisterServer(&prog[0], &host[0], &serv[0], &total, &initialising, &ready,
                                  &busy, &check_error) == RFC_OK &&
           total > queue->reg_count_.value();
  };
  // The gateway learns of a closed registration a moment after the close:
  // right after one of ours ended, a surplus is ours while it lasts, and
  // only one that stays belongs to another program. With a thousand
  // clients that moment grew past two seconds, so the wait follows the
  // whole window after our last close. The key's other requests are not
  // held up meanwhile.
  const auto window = std::chrono::seconds(10);
  bool refused = foreign();
  for (int wait = 0; refused && wait < 200 &&
                     std::chrono::steady_clock::now() - queue->last_close_ < window;
       ++wait) {
    guard.release();
    ACE_OS::sleep(ACE_Time_Value(0, 50000));
    guard.acquire();
    if (!guard.locked()) {
      *errtext = "Internal ACE_Guard failure";
      return RFC_HANDLE_NULL;
    }
    refused = foreign();
  }
  if (refused) {
    *errtext = "Another RFC server is registered at the gateway with the program id assigned to "
               "this server\n";
    ACE_ERROR((LM_ERROR,
               "%D (%P|%t) Qorrfc_Base_Request::rfcaccept_function - Another RFC server is "
               "registered at the gateway (%s:%s) with the program id (%s) assigned to this server\n",
               host.c_str(), serv.c_str(), prog.c_str()));
    ACE_ERROR((LM_ERROR,
               "%D (%P|%t) Qorrfc_Base_Request::rfcaccept_function - Expected count %d, actual count %d\n",
               static_cast<int>(queue->reg_count_.value()), static_cast<int>(total)));
    return RFC_HANDLE_NULL;
  }
  char words[2048];
  ACE_OS::snprintf(words, sizeof words, "-a %s -g %s -x %s", prog.c_str(), host.c_str(), serv.c_str());
  accept_args_.reset(new ACE_ARGV(words, true));
  RFC_HANDLE handle = RfcAccept(accept_args_->argv());
  if (handle != RFC_HANDLE_NULL) {
    ++queue->reg_count_;
    ACE_DEBUG((LM_TRACE, "%D (%P|%t) reg count incremented\n"));
  }
  return handle;
}

int Qorrfc_Base_Request::gwinfo(const char *&prog_id, const char *&gw_host, const char *&gw_serv,
                                char &host_flag) {
  if (!gwinfo_) return -1;
  prog_id = gwinfo_->batprid();
  gw_host = gwinfo_->batgwh();
  gw_serv = gwinfo_->batgws();
  host_flag = gwinfo_->batgwfl();
  return 0;
}

int Qorrfc_Base_Request::handle_batch_callrfc1(RFC_HANDLE handle) {
  gwinfo_.reset(new Qorrfc_Gwinfo_Cbf("GWINFO"));
  int rc = gwinfo_->receive(handle);
  if (rc != RFC_OK) {
    send_error("RfcGetData for GwInfo failed");
    return rc;
  }
  if (ACE_OS::strcmp(gwinfo_->jobcount(), "0") == 0) {
    if (jobno_key_) {
      Qorrfc_Handler_Registry::instance()->unbind(jobno_key_.get());
      jobno_key_.reset();
    }
    return 0;
  }
  std::string key = std::string(gwinfo_->jobcount()) + "," + gwinfo_->batgwh() +
                    gwinfo_->batgws() + gwinfo_->batprid();
  jobno_key_.reset(new char[key.size() + 1]);
  ACE_OS::strcpy(jobno_key_.get(), key.c_str());
  ACE_DEBUG((LM_TRACE, "%D(%P|%t) Qorrfc_Base_Request::handle_batch_callrfc1 jobno key is '%s'\n",
             jobno_key_.get()));
  Qorrfc_Handler_Registry::instance()->bind(jobno_key_.get(), request_connection_);
  ACE_Message_Block *start = new ACE_Message_Block(1, Qorrfc_Base_Handler::MB_START);
  *start->wr_ptr() = 1;
  start->wr_ptr(1);
  int started = start_gateway_loop(start, "handle_batch_callrfc1");
  if (started != 0) return started;
  Qorrfc_Function answer("GWINFO");
  rc = answer.send_data(handle);
  if (rc != RFC_OK) {
    send_error("RfcSendData for GwInfo failed");
    return rc;
  }
  flags_[2] = 'Y';
  return 0;
}

int Qorrfc_Base_Request::handle_batch_callrfc2(RFC_HANDLE handle) {
  Qorrfc_Jobno_Cbf jobno("JOBNO");
  int rc = jobno.receive(handle);
  if (rc != RFC_OK) {
    send_error("RfcGetData for Jobno failed");
    return rc;
  }
  // Without a job-number call first there is no gateway to name the job by.
  std::string key = std::string(jobno.jobno()) + ",";
  if (gwinfo_) key += std::string(gwinfo_->batgwh()) + gwinfo_->batgws() + gwinfo_->batprid();
  ACE_DEBUG((LM_TRACE, "%D(%P|%t) Qorrfc_Base_Request::handle_batch_callrfc2 jobno key is '%s'\n",
             key.c_str()));
  Qorrfc_Handler_Ref owner = Qorrfc_Handler_Registry::instance()->find(key.c_str());
  if (!gwinfo_ || !owner) {
    jobno.raise_tables(handle, "UNKNOWN_JOB");
    // The job served here cannot deliver: its client is not left waiting
    // for rows that will not come.
    std::string line = "The background job asked with job number '" + std::string(jobno.jobno()) +
                       "', which no request of this server announced; the job was ended";
    send_error(line.c_str());
    return RESULT_ENDED;
  }
  jobno.set_token(owner->handle());
  rc = jobno.send_data(handle);
  if (rc != RFC_OK) send_error("RfcSendData for Jobno failed");
  return rc;
}

int Qorrfc_Base_Request::handle_parameter_table(RFC_HANDLE) { return 0; }

int Qorrfc_Base_Request::handle_batch_callback1(RFC_HANDLE handle) {
  killed_ = 0;
  RFC_INT value = 0;
  Qorrfc_Function call("Z_QOR_BATCH_CALLBACK1");
  Qorrfc_Parameter buffer_max("BUFMAX", &value, sizeof value, RFCTYPE_INT);
  call.add_importing(&buffer_max);
  call.build_all();
  if (call.get_data(handle) != RFC_OK) return RESULT_ENDED;
  if (value != 0) bufmax_ = value;
  Qorrfc_Base_Handler *owner = request_connection_;
  Qorrfc_Base_Request *current = owner ? owner->current_request() : this;
  if (current == nullptr) current = this;
  current->job_function_.reset(new Qorrfc_Function(get_abapfm()));
  current->job_pdest_.reset(new Qorrfc_Parameter("PDEST", const_cast<char *>("BACK"), 4));
  current->job_function_->add_exporting(current->job_pdest_.get());
  current->job_function_->build_all();
  Qorrfc_Function *back = current->job_function_.get();
  if (back->call(handle) == RFC_OK) {
    current->receive_calls(back, handle);
    // A callback handler that ended the loop (R/3's message reported, say)
    // left the call open. The job's conversation goes on after it, so its
    // end is received here; whatever R/3 still sends is refused.
    while (back->last_code() == RFC_CALL) {
      if (back->receive(handle) != RFC_CALL) break;
      char stop[] = "KILLED_BY_QOR";
      RfcRaise(handle, stop);
    }
  }
  if (current->killed_ == 1 || killed_ == 1) {
    char exception[] = "KILLED_BY_QOR";
    RfcRaise(handle, exception);
  } else {
    Qorrfc_Function answer("Z_QOR_BATCH_CALLBACK1");
    answer.send_data(handle);
  }
  return RESULT_ENDED;
}

int Qorrfc_Base_Request::handle_batch_callback2(RFC_HANDLE) { return 0; }
