// The function request's attributes, its shared session and the direct
// call with its results.
#include "qorrfc_v9function_request.h"

#include <ace/Guard_T.h>
#include <ace/Log_Msg.h>
#include <ace/OS_NS_stdio.h>
#include <ace/OS_NS_stdlib.h>
#include <ace/OS_NS_string.h>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNodeList.hpp>

#include <cctype>
#include <string>

#include "qorrfc_base_handler.h"
#include "qorrfc_data_cbf.h"
#include "qorrfc_function.h"
#include "qorrfc_itab.h"
#include "qorrfc_xml_text.h"
#include "sapitab.h"

XERCES_CPP_NAMESPACE_USE

namespace {
// What one request may allocate for values and rows: the message is
// small, but intlen and the number of rows are the client's to choose.
const unsigned long long MAX_REQUEST_BYTES = 256ull << 20;

char upper_first(const std::string &value, char absent) {
  return value.empty() ? absent : static_cast<char>(std::toupper(static_cast<unsigned char>(value[0])));
}

// intlen as a number; -1 when it is none or beyond what one row may hold.
long row_length_of(const std::string &text) {
  if (text.empty()) return -1;
  char *end = nullptr;
  long n = ACE_OS::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || n < 0 || static_cast<unsigned long long>(n) > MAX_REQUEST_BYTES) return -1;
  return n;
}

bool is_element(const DOMNode *node, const char *name) {
  return node->getNodeType() == DOMNode::ELEMENT_NODE &&
         qorrfc_local_text(node->getNodeName()) == name;
}
}  // namespace

Qorrfc_V9function_Request::Qorrfc_V9function_Request(Qorrfc_Base_Handler *request_connection,
                                                     XercesDOMParser *parser)
    : Qorrfc_Base_Request(request_connection, parser) {}

Qorrfc_V9function_Request::~Qorrfc_V9function_Request() {
  rfc_handle_ = RFC_HANDLE_NULL;
  // The function goes before the entries and tables it points at.
  main_function_.reset();
}

int Qorrfc_V9function_Request::parse_common_attributes() {
  int result = Qorrfc_Base_Request::parse_common_attributes();
  if (result != 0) return result;
  parameters_handler_ = &Qorrfc_Base_Request::handle_grp_function;
  return 0;
}

RFC_HANDLE Qorrfc_V9function_Request::open_connection() {
  if (logon_connection_ == nullptr) return RFC_HANDLE_NULL;
  ACE_Guard<ACE_Recursive_Thread_Mutex> guard(logon_connection_->session_lock());
  adopt_logon_session();
  return rfc_handle_;
}

void Qorrfc_V9function_Request::adopt_logon_session() {
  rfc_handle_ = logon_connection_->rfc_handle();
  if (rfc_handle_ == RFC_HANDLE_NULL) store_session(Qorrfc_Base_Request::open_connection());
}

void Qorrfc_V9function_Request::store_session(RFC_HANDLE handle) {
  rfc_handle_ = handle;
  logon_connection_->rfc_handle(handle);
}

void Qorrfc_V9function_Request::replace_session(bool reopen) {
  ACE_Guard<ACE_Recursive_Thread_Mutex> guard(logon_connection_->session_lock());
  if (rfc_handle_ != RFC_HANDLE_NULL) RfcClose(rfc_handle_);
  store_session(RFC_HANDLE_NULL);
  if (reopen) store_session(Qorrfc_Base_Request::open_connection());
}

int Qorrfc_V9function_Request::call_req_function() {
  ACE_Guard<ACE_Recursive_Thread_Mutex> guard(logon_connection_->session_lock());
  // Another request of the logon may have replaced the session since
  // open_connection.
  adopt_logon_session();
  if (rfc_handle_ == RFC_HANDLE_NULL) {
    report_rfc_error();
    return -1;
  }
  int result;
  if (upper_first(root_attribute("data"), 'N') != 'Y') {
    result = Qorrfc_Base_Request::call_req_function();
    if (result == 0) result = RESULT_ENDED;
    // The module has returned, its job with it: a gateway loop still
    // waiting would hold this connection open.
    stop_unfinished_gateway_loop();
  } else {
    result = direct_call();
  }
  // A call left open by a failed callback, or a lost connection, leaves
  // the session unusable for the next request of the logon.
  RFC_RC last = main_function_ ? main_function_->last_code() : RFC_OK;
  if (last == RFC_CALL || last == RFC_FAILURE) replace_session(false);
  return result;
}

int Qorrfc_V9function_Request::direct_call() {
  std::string name = root_attribute("name");
  main_function_.reset(new Qorrfc_Function(name.c_str()));
  DOMNodeList *children = root_->getChildNodes();
  children_ = children->getLength();
  ACE_DEBUG((LM_TRACE, "%D(%P|%t) Got %d children for function %s.\n", static_cast<int>(children_),
             name.c_str()));
  parameters_.resize(children_);
  values_.resize(children_);
  unsigned long long budget = 0;
  for (size_t slot = 0; slot < children_; ++slot) {
    DOMNode *node = children->item(slot);
    if (node->getNodeType() != DOMNode::ELEMENT_NODE) continue;
    bool parameter = is_element(node, "parameter");
    if (!parameter && !is_element(node, "table")) continue;
    DOMElement *element = static_cast<DOMElement *>(node);
    long length = row_length_of(qorrfc_attribute(element, "intlen"));
    unsigned long long rows = parameter ? 1 : element->getElementsByTagName(u"i")->getLength();
    budget += rows * static_cast<unsigned long long>(length < 0 ? 0 : length);
    if (length < 0 || budget > MAX_REQUEST_BYTES) {
      std::string text = "intlen of " + qorrfc_attribute(element, "name") + " is invalid or too large";
      send_error(text.c_str());
      return RESULT_ENDED;
    }
    if (parameter)
      add_parameter(element, slot);
    else
      add_table(element, slot);
  }
  main_function_->build_all();
  // A flag left by the gateway loop of an earlier request must not make
  // this one wait for a loop that never started.
  data_connection_->batch_active(0);
  RFC_RC rc = main_function_->call(rfc_handle_);
  int result = rc == RFC_OK ? receive_loop(rfc_handle_) : rc;
  if (rc != RFC_OK) report_rfc_result(main_function_.get(), rc);
  if (result != 0) return result;
  return send_results();
}

void Qorrfc_V9function_Request::add_parameter(DOMElement *element, size_t slot) {
  std::string name = qorrfc_attribute(element, "name");
  unsigned length = static_cast<unsigned>(row_length_of(qorrfc_attribute(element, "intlen")));
  ACE_DEBUG((LM_TRACE, "%D(%P|%t) Got <parameter> named %s, intlen %d of function %s.\n",
             name.c_str(), static_cast<int>(length), main_function_->name()));
  values_[slot].reset(new char[length + 1]());
  RFC_TYPEHANDLE type =
      upper_first(qorrfc_attribute(element, "type"), 'B') == 'C' ? RFCTYPE_CHAR : RFCTYPE_BYTE;
  parameters_[slot].reset(new Qorrfc_Parameter(name.c_str(), values_[slot].get(), length, type));
  if (upper_first(qorrfc_attribute(element, "paramclass"), 'E') == 'I') {
    main_function_->add_importing(parameters_[slot].get());
    imports_.push_back(parameters_[slot].get());
    return;
  }
  DOMNodeList *rows = element->getElementsByTagName(u"i");
  for (XMLSize_t i = 0; i < rows->getLength(); ++i)
    decode_row(static_cast<DOMElement *>(rows->item(i)), values_[slot].get(), length);
  main_function_->add_exporting(parameters_[slot].get());
}

void Qorrfc_V9function_Request::add_table(DOMElement *element, size_t) {
  std::string name = qorrfc_attribute(element, "name");
  std::string structure = qorrfc_attribute(element, "structure");
  unsigned length = static_cast<unsigned>(row_length_of(qorrfc_attribute(element, "intlen")));
  ACE_DEBUG((LM_TRACE, "%D(%P|%t) Got <table> named %s, intlen %d , structure %s of function %s.\n",
             name.c_str(), static_cast<int>(length), structure.c_str(), main_function_->name()));
  std::unique_ptr<Qorrfc_Itab> itab(new Qorrfc_Itab(ITAB_NULL, Qorrfc_Itab::DELETE_TABLE));
  itab->create(name.c_str(), length, 30);
  DOMNodeList *rows = element->getElementsByTagName(u"i");
  for (XMLSize_t i = 0; i < rows->getLength() && itab->handle() != ITAB_NULL; ++i) {
    char *row = static_cast<char *>(ItAppLine(itab->handle()));
    if (row == nullptr) break;
    ACE_OS::memset(row, 0, length);
    decode_row(static_cast<DOMElement *>(rows->item(i)), row, length);
  }
  return_flags_.push_back(upper_first(qorrfc_attribute(element, "inputonly"), 'N') == 'N');
  RFC_TYPEHANDLE type = RFCTYPE_BYTE;
  if (!structure.empty() && build_structure(element, structure.c_str(), length, &type) != 0)
    type = RFCTYPE_BYTE;
  tables_.emplace_back(new Qorrfc_Table(name.c_str(), type, length, itab->handle()));
  itabs_.push_back(std::move(itab));
  main_function_->add_table(tables_.back().get());
}

int Qorrfc_V9function_Request::send_results() {
  ACE_DEBUG((LM_TRACE, "%D(%P|%t) RfcCallReceive good - nimports=%d\n",
             static_cast<int>(imports_.size())));
  char line[1100];
  for (Qorrfc_Parameter *import : imports_) {
    ACE_OS::snprintf(line, sizeof line, "D,%s,1\n", import->name());
    send_raw(line, ACE_OS::strlen(line));
    // The value and its flag byte in one write, as one record.
    std::unique_ptr<char[]> record(new char[import->length() + 1]);
    ACE_OS::memcpy(record.get(), import->address(), import->length());
    record[import->length()] = '\0';
    data_connection_->send(record.get(), import->length() + 1);
  }
  for (size_t t = 0; t < tables_.size(); ++t) {
    ITAB_H rows = tables_[t]->handle();
    if (!return_flags_[t] || rows == ITAB_NULL || ItFill(rows) == 0) continue;
    ACE_OS::snprintf(line, sizeof line, "D,%s,%u\n", tables_[t]->name(), ItFill(rows));
    send_raw(line, ACE_OS::strlen(line));
    data_connection_->row_width(static_cast<int>(ItLeng(rows)));
    data_connection_->send_table(rows, 0);
  }
  if (data_connection_->batch_active() != 1) {
    send_raw("EOF\n", 4);
    return 0;
  }
  // The module has returned, so its job has ended: a loop still waiting
  // for the job's last chunk would wait for ever. It looks for the stop
  // every second.
  bool ended = eod_flag_ == 'X';
  stop_unfinished_gateway_loop();
  ACE_DEBUG((LM_NOTICE, "%D(%P|%t) In Qorrfc_V9function_Request call_req_function - acquiring rh sema\n"));
  request_connection_->sema().acquire();
  ACE_DEBUG((LM_NOTICE, "%D(%P|%t) In Qorrfc_V9function_Request call_req_function - acquired rh sema\n"));
  if (!ended) {
    send_error("The background job ended without its last chunk");
    send_raw("EOF\n", 4);
  }
  return 0;
}

void Qorrfc_V9function_Request::stop_unfinished_gateway_loop() {
  if (data_connection_->batch_active() != 1 || eod_flag_ == 'X') return;
  data_connection_->cancel();
}
