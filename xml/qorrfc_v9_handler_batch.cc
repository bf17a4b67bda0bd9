// A main-port connection serving as the data connection of a batch
// request: it registers at the gateway named by the logon's system
// information and serves the background job's calls until the last chunk.
#include <ace/Log_Msg.h>

#include "qorrfc_base_request.h"
#include "qorrfc_ssi_cbf.h"
#include "qorrfc_v9_handler.h"

int Qorrfc_V9_Handler::handle_batch() {
  // The request connection waits on our semaphore, so it is alive now;
  // the reference keeps it (and its request) so until we are done.
  Qorrfc_Handler_Ref owner(request_handler());
  Qorrfc_Base_Request *request = owner ? owner->current_request() : nullptr;
  const Qorrfc_Ssi_Cbf *ssi = request ? request->logon_ssi() : nullptr;
  run_registration(owner.get(), request, ssi ? ssi->batprid() : "", ssi ? ssi->batgwh() : "",
                   ssi ? ssi->batgws() : "", ssi ? ssi->batgwfl() : ' ',
                   "Qorrfc_V9_Handler handle_batch");
  return 0;
}
