// A function element: calls an R/3 function module for the client.
// Without data="Y" the dialog program of the transport calls it (the
// request-parameters reply names it); with data="Y" this server calls it
// itself with the parameters and tables of the message, serves the
// module's callbacks for input tables and data chunks, and sends the
// results back: each importing parameter and returned table announced by
// a "D," line on the request connection, its bytes as records on the data
// connection, then "EOF".
//
// All function requests of one logon connection share one R/3 session,
// which that connection keeps; its session lock keeps two requests from
// using it at once.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "qorrfc_base_request.h"

XERCES_CPP_NAMESPACE_BEGIN
class DOMElement;
XERCES_CPP_NAMESPACE_END

class Qorrfc_Itab;
class Qorrfc_Table;

class Qorrfc_V9function_Request : public Qorrfc_Base_Request {
 public:
  Qorrfc_V9function_Request(Qorrfc_Base_Handler *request_connection,
                            XERCES_CPP_NAMESPACE::XercesDOMParser *parser);
  // Leaves the shared session open: it is the logon connection's.
  ~Qorrfc_V9function_Request() override;

  // Called by the protocol handler: the common attributes; the
  // request-parameters reply is the function reply.
  int parse_common_attributes() override;
  // Called after the attributes: the logon connection's session, opened
  // (and kept there) by the first function request that needs it.
  RFC_HANDLE open_connection() override;
  // Called after the logon: the transport's dialog call, or the direct
  // call with its results; an RFC return code, 0, or 13.
  int call_req_function() override;
  // Z_QOR_DATA_CHUNK: the chunk's lines and rows go to the request named
  // by its DHANDLE.
  int handle_data_chunk(RFC_HANDLE handle) override;
  // Chunks are delivered by handle_data_chunk itself.
  int deliver_data_chunk(RFC_HANDLE handle, Qorrfc_Data_Cbf *chunk) override;
  // Z_QOR_GET_PARAMETER_TABLE: the rows of one of the tables passed.
  int handle_parameter_table(RFC_HANDLE handle) override;
  // Called when a call failed; a system failure also renews the session.
  void report_rfc_result(Qorrfc_Function *function, int code = -1) override;

  // Fills row (length bytes) from the base64 text of the d elements of
  // the i element, in order; what does not fit is dropped, text that is
  // not base64 adds nothing. Returns the bytes filled.
  static unsigned decode_row(const XERCES_CPP_NAMESPACE::DOMElement *i, char *row,
                             unsigned length);
  // Installs the row type that the field elements of table describe under
  // the name structure; 0 with *type set, or -1 (no fields, a type letter
  // unknown, or refused by the library).
  static int build_structure(const XERCES_CPP_NAMESPACE::DOMElement *table,
                             const char *structure, unsigned row_length, RFC_TYPEHANDLE *type);

 private:
  int direct_call();
  void add_parameter(XERCES_CPP_NAMESPACE::DOMElement *element, size_t slot);
  void add_table(XERCES_CPP_NAMESPACE::DOMElement *element, size_t slot);
  int send_results();
  // Called once the module has returned: a gateway loop that has not seen
  // the job's last chunk is asked to stop (it looks every second).
  void stop_unfinished_gateway_loop();
  // The connection a callback's DHANDLE names (this request's own one
  // included); empty when none is registered under it.
  Qorrfc_Handler_Ref callback_connection(const char *dhandle);
  // A DHANDLE value of R/3 as a handle text (cut at the first blank).
  static std::string handle_text(const char *dhandle);
  // Called when a callback named a data handle no connection has: the
  // client is told that its call was ended.
  void report_unknown_data_handle(const char *dhandle);
  // The session taken from the logon connection, or given back to it.
  void adopt_logon_session();
  void store_session(RFC_HANDLE handle);
  // Closes the shared session; with reopen, logs on again for the next
  // request of the logon.
  void replace_session(bool reopen);

  size_t children_ = 0;
  std::vector<std::unique_ptr<Qorrfc_Parameter>> parameters_;
  std::vector<std::unique_ptr<char[]>> values_;
  std::vector<std::unique_ptr<Qorrfc_Table>> tables_;
  std::vector<std::unique_ptr<Qorrfc_Itab>> itabs_;
  std::vector<int> return_flags_;
  std::vector<Qorrfc_Parameter *> imports_;
  std::unique_ptr<Qorrfc_Data_Cbf> chunk_;
};
