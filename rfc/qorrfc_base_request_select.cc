// Where a select's rows go: the data connection in dialog mode; in batch
// mode the data connection whose registration the job reached, taken out
// of the gateway key's queue.
#include <ace/Log_Msg.h>

#include "qorrfc_base_handler.h"
#include "qorrfc_base_request.h"

namespace {
char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

const char *Qorrfc_Base_Request::get_grp_dh() {
  if (upper(flags_[2]) != 'Y' || upper(flags_[0]) != 'Y') {
    ACE_DEBUG((LM_DEBUG, "%D(%P|%t) Qorrfc_Base_Request::get_grp_dh this is dialog\n"));
    return data_connection_handle();
  }
  ACE_DEBUG((LM_DEBUG, "%D(%P|%t) Qorrfc_Base_Request::get_grp_dh this is batch\n"));
  std::string key = ssi_gateway_key();
  ACE_DEBUG((LM_DEBUG, "%D(%P|%t) Qorrfc_Base_Request::get_grp_dh using key '%s'\n", key.c_str()));
  // The job runs inside this request's registration, so its rows belong to
  // this request's data connection. Taking the queue's head instead would
  // hand them to whichever request queued first, when several wait under
  // one program id and the gateway routes their jobs in another order.
  const char *own = data_connection_ ? data_connection_->handle() : nullptr;
  const char *handle =
      request_connection_ ? request_connection_->get_destq_key(key.c_str(), own) : "";
  if (handle == nullptr) handle = "";
  ACE_DEBUG((LM_DEBUG, "%D(%P|%t) Qorrfc_Base_Request::get_grp_dh active data handle '%s'\n",
             data_connection_handle()));
  ACE_DEBUG((LM_DEBUG, "%D(%P|%t) Qorrfc_Base_Request::get_grp_dh effective data handle '%s'\n",
             handle));
  return handle;
}
