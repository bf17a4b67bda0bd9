// Construction, the common attributes and the ways a request writes to
// its client.
#include "qorrfc_base_request.h"

#include <ace/Log_Msg.h>
#include <ace/OS_NS_stdio.h>
#include <ace/OS_NS_string.h>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>

#include <cctype>

#include "qorrfc_base_handler.h"
#include "qorrfc_data_cbf.h"
#include "qorrfc_genprog_cbf.h"
#include "qorrfc_grp_base_select_cbf.h"
#include "qorrfc_grp_bcompat_cbf.h"
#include "qorrfc_grp_connect_cbf.h"
#include "qorrfc_grp_function_cbf.h"
#include "qorrfc_gwinfo_cbf.h"
#include "qorrfc_handler_registry.h"
#include "qorrfc_itab.h"
#include "qorrfc_mdata_cbf.h"
#include "qorrfc_ssi_cbf.h"
#include "qorrfc_xml_text.h"
#include "unix_qorrfc_service_options.h"

XERCES_CPP_NAMESPACE_USE

Qorrfc_Base_Request::Qorrfc_Base_Request(Qorrfc_Base_Handler *request_connection,
                                         XercesDOMParser *parser)
    : parser_(parser), request_connection_(request_connection),
      data_connection_(request_connection) {
  connect_string_[0] = '\0';
  log_connect_string_[0] = '\0';
  ACE_OS::memset(&error_info_, 0, sizeof error_info_);
  if (parser_) {
    document_ = parser_->getDocument();
    root_ = document_ ? document_->getDocumentElement() : nullptr;
  }
  abapfm_ = root_attribute("abapfm");
  abapprog_ = root_attribute("abapprog");
}

Qorrfc_Base_Request::~Qorrfc_Base_Request() {
  if (rfc_handle_ != RFC_HANDLE_NULL) RfcClose(rfc_handle_);
}

std::string Qorrfc_Base_Request::root_attribute(const char *name) const {
  return qorrfc_attribute(root_, name);
}

const char *Qorrfc_Base_Request::configured_variant() { return qorrfc_options()->variant(); }

const char *Qorrfc_Base_Request::data_connection_handle() const {
  return data_connection_ ? data_connection_->handle() : "";
}

Qorrfc_Base_Request *Qorrfc_Base_Request::logon_request() const {
  return logon_connection_ ? logon_connection_->current_request() : nullptr;
}

const Qorrfc_Ssi_Cbf *Qorrfc_Base_Request::logon_ssi() const {
  Qorrfc_Base_Request *logon = logon_request();
  return logon ? logon->ssi() : nullptr;
}

namespace {
// First character of the value, upper-cased; 'N' when absent or empty.
char flag_of(const std::string &value) {
  return value.empty() ? 'N' : static_cast<char>(std::toupper(static_cast<unsigned char>(value[0])));
}
}  // namespace

int Qorrfc_Base_Request::parse_common_attributes() {
  parameters_handler_ = &Qorrfc_Base_Request::handle_no_parameters;
  logon_ref_ = Qorrfc_Handler_Registry::instance()->find(root_attribute("chandle").c_str());
  if (!logon_ref_) {
    send_error("chandle is invalid");
    return -1;
  }
  logon_connection_ = logon_ref_.get();
  // A request's reference to its own connection would keep the
  // connection, and with it this request, alive for ever.
  if (logon_connection_ == request_connection_) logon_ref_.reset();
  Qorrfc_Handler_Ref data = Qorrfc_Handler_Registry::instance()->find(root_attribute("dhandle").c_str());
  // A connection cannot be its own data connection; naming itself is the
  // same as naming none.
  if (data && data.get() != request_connection_ && request_connection_) {
    data_connection_ = data.get();
    request_connection_->link_data_connection(std::move(data));
  } else if (request_connection_) {
    request_connection_->release_data_connection();
  }
  flags_[0] = flag_of(root_attribute("data"));
  flags_[1] = flag_of(root_attribute("metadata"));
  flags_[2] = flag_of(root_attribute("batch"));
  Qorrfc_Base_Request *logon = logon_request();
  std::string debug = logon ? logon->root_attribute("qordebug") : std::string();
  flags_[3] = debug.empty() ? ' ' : static_cast<char>(std::toupper(static_cast<unsigned char>(debug[0])));
  return 0;
}

namespace {
// The namespace followed by name, at most 100 characters.
std::string in_namespace(const char *name) {
  std::string text = std::string(qorrfc_options()->ns()) + name;
  if (text.size() > 100) text.resize(100);
  return text;
}
}  // namespace

// The defaults are kept in this request, not written into the logon's
// connect request: several requests on other threads may ask at once.
const char *Qorrfc_Base_Request::get_abapfm() {
  Qorrfc_Base_Request *logon = logon_request();
  // Copied only when it differs: a batch job's callback asks again on the
  // data connection's thread while this request's own call still reads it.
  if (logon && logon != this && !logon->abapfm_.empty() && abapfm_ != logon->abapfm_)
    abapfm_ = logon->abapfm_;
  if (abapfm_.empty()) abapfm_ = in_namespace("Z_QOR_DIALOG");
  return abapfm_.c_str();
}

const char *Qorrfc_Base_Request::get_abapprog() {
  Qorrfc_Base_Request *logon = logon_request();
  if (logon && logon != this && !logon->abapprog_.empty() && abapprog_ != logon->abapprog_)
    abapprog_ = logon->abapprog_;
  if (abapprog_.empty()) abapprog_ = in_namespace("Z_QOR_READ");
  return abapprog_.c_str();
}

int Qorrfc_Base_Request::send_raw(const char *bytes, size_t length, Qorrfc_Base_Handler *handler) {
  if (handler == nullptr) handler = request_connection_;
  return handler ? handler->send(bytes, length) : -1;
}

int Qorrfc_Base_Request::send_line(const char *text, size_t length, Qorrfc_Base_Handler *handler) {
  const size_t MAX_LINE = 256;
  size_t n = length < MAX_LINE ? length : MAX_LINE;
  n = ACE_OS::strnlen(text, n);
  while (n > 1 && text[n - 1] == ' ') --n;
  char line[MAX_LINE + 1];
  ACE_OS::memcpy(line, text, n);
  line[n] = '\n';
  return send_raw(line, n + 1, handler);
}

int Qorrfc_Base_Request::send_error(const char *message, int count, Qorrfc_Base_Handler *handler) {
  if (handler == nullptr) handler = request_connection_;
  if (handler == nullptr) return -1;
  Qorrfc_Base_Request *current = handler->current_request();
  Qorrfc_Base_Handler *data = handler->data_connection();
  // Once rows have flowed the client reads records on the data connection:
  // an error record of the row width there tells it to read the E-line.
  if (current && current->eod_flag_ != 'N' && data) count = data->row_width();
  return handler->send_error(message, count > 0 ? count : 0);
}

void Qorrfc_Base_Request::send_table_lines(Qorrfc_Itab *table) {
  if (table == nullptr) return;
  for (unsigned i = 1, rows = table->rows(); i <= rows; ++i) {
    const char *row = table->row(i);
    if (row) send_line(row, table->row_length());
  }
}
