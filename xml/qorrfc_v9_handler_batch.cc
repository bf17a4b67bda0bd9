// A main-port connection serving as the data connection of a batch
// request: it registers at the gateway named by the logon's system
// information and serves the background job's calls until the last chunk.
#include <ace/Log_Msg.h>
#include <ace/Thread_Manager.h>

#include "qorrfc_base_request.h"
#include "qorrfc_ssi_cbf.h"
#include "qorrfc_v9_handler.h"

int Qorrfc_V9_Handler::handle_batch() {
  batch_active(1);
  batch_status(0);
  // The request connection waits on our semaphore, so it is alive now;
  // the reference keeps it (and its request) so until we are done.
  Qorrfc_Handler_Ref owner(request_handler());
  Qorrfc_Base_Request *request = owner ? owner->current_request() : nullptr;
  const Qorrfc_Ssi_Cbf *ssi = request ? request->logon_ssi() : nullptr;
  const char *prog_id = ssi ? ssi->batprid() : "";
  const char *host = ssi ? ssi->batgwh() : "";
  const char *service = ssi ? ssi->batgws() : "";
  char host_flag = ssi ? ssi->batgwfl() : ' ';
  RFC_HANDLE handle = RFC_HANDLE_NULL;
  if (request)
    handle = request->rfcaccept_function(prog_id, host, service, host_flag, batch_errtext_out(),
                                         RFC_HANDLE_NULL);
  if (handle == RFC_HANDLE_NULL) batch_status(RfcLastErrorEx(&error_info()) + 1);
  ACE_DEBUG((LM_NOTICE, "%D(%P|%t) In Qorrfc_V9_Handler handle_batch - releasing dh sema\n"));
  sema().release();
  ACE_DEBUG((LM_NOTICE, "%D(%P|%t) In Qorrfc_V9_Handler handle_batch - released dh sema\n"));
  if (handle != RFC_HANDLE_NULL) {
    serve_gateway_calls(handle, request);
    request->rfcaccept_function(prog_id, host, service, host_flag, batch_errtext_out(), handle);
  }
  if (owner) {
    ACE_DEBUG((LM_NOTICE, "%D(%P|%t) In Qorrfc_V9_Handler handle_batch - releasing rh sema\n"));
    owner->sema().release();
    ACE_DEBUG((LM_NOTICE, "%D(%P|%t) In Qorrfc_V9_Handler handle_batch - released rh sema\n"));
  }
  return 0;
}
