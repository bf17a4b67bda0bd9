// A connection on the main port, where every message is one XML element.
// It greets the client with the 130-byte handle record of the base class;
// each message is checked against the grammar of its root element, becomes
// one request object, and runs. As a data connection of a batch request it
// serves the background job's calls at the gateway.
#pragma once

#include "qorrfc_base_handler.h"

class Qorrfc_Base_Request;

class Qorrfc_V9_Handler : public Qorrfc_Base_Handler {
 public:
  // Called by the worker with one complete message: 0 goes on, any other
  // value ends the connection.
  int handle_mb(ACE_Message_Block *message) override;
  // Called by the worker for an empty MB_START block (batch mode of a
  // request that names this connection as its data connection).
  int handle_batch() override;

  // Called by handle_mb: the message checked against its root's grammar
  // and turned into a new request (not yet run), or null after the error
  // lines. The message stays the caller's.
  Qorrfc_Base_Request *receive_request(ACE_Message_Block *message);
  // The name of the message's first element in the local code page, or
  // null after an error line; the caller frees it with XMLString::release.
  // Consumes block.
  char *get_request_type(ACE_Message_Block *block);
};
