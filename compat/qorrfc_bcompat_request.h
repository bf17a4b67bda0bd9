// The request object of one batch-compatibility extraction, the current
// request of the request connection R while the background job runs. Its
// callbacks arrive on the data connection's gateway loop. Its data
// connection field is R itself: rows go out through R's send_table, which
// writes them to R's data connection.
#pragma once

#include "qorrfc_base_request.h"

class Qorrfc_Bcompat_Request : public Qorrfc_Base_Request {
 public:
  // handle is the logon of R's DCONNECT, which closes it itself.
  Qorrfc_Bcompat_Request(Qorrfc_Base_Handler *request_connection, RFC_HANDLE handle);
  ~Qorrfc_Bcompat_Request() override;

  // Called on the gateway loop for Z_QOR_DATA_CHUNK: receives the chunk.
  int handle_data_chunk(RFC_HANDLE handle) override;
  // Called by handle_data_chunk: the rows to the data connection.
  int deliver_data_chunk(RFC_HANDLE handle, Qorrfc_Data_Cbf *chunk) override;
  // Called on the gateway loop for Z_QOR_BATCH_CALLBACK2: the job asks for
  // the batch module to be called back on its conversation; that nested
  // call delivers the rows.
  int handle_batch_callback2(RFC_HANDLE handle) override;

  // Called once DCONNECT has closed the logon handle.
  void forget_rfc_handle() { rfc_handle_ = RFC_HANDLE_NULL; }

 private:
  // Ends the data stream and what R's client reads: D closed for sending.
  void end_data_stream();
};
