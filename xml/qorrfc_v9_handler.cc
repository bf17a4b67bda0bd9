#include "qorrfc_v9_handler.h"

#include <ace/Log_Msg.h>
#include <ace/Message_Block.h>
#include <ace/OS_NS_stdio.h>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/framework/XMLPScanToken.hpp>
#include <xercesc/parsers/SAXParser.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/SAXException.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XMLString.hpp>

#include <memory>
#include <string>

#include "acemb_input_source.h"
#include "qorrfc_base_request.h"
#include "qorrfc_gettype_handler.h"
#include "qorrfc_grammars.h"
#include "qorrfc_no_entities.h"
#include "qorrfc_service_xmlerr.h"
#include "qorrfc_v9_requests.h"
#include "qorrfc_xml_text.h"

XERCES_CPP_NAMESPACE_USE

char *Qorrfc_V9_Handler::get_request_type(ACE_Message_Block *block) {
  // The text as it came, for the error line; the parse consumes the block.
  std::string text(block->length() ? block->rd_ptr() : "", block->length());
  SAXParser parser;
  Qorrfc_No_Entities no_entities;
  no_entities.confine(parser);
  parser.setValidationScheme(SAXParser::Val_Never);
  gettypeHandler names;
  parser.setDocumentHandler(&names);
  parser.setErrorHandler(&names);
  ACEMBInputSource source(block);
  XMLPScanToken token;
  bool started = false;
  try {
    // A start that failed leaves nothing to reset (resetting then throws).
    if (parser.parseFirst(source, token)) {
      started = !names.failed();
      while (started && names.name() == nullptr && !names.failed() && parser.parseNext(token)) {
      }
      parser.parseReset(token);
    }
  } catch (const XMLException &e) {
    send_error(qorrfc_local_text(e.getMessage()).c_str(), 0);
    return nullptr;
  } catch (const SAXException &e) {
    send_error(qorrfc_local_text(e.getMessage()).c_str(), 0);
    return nullptr;
  } catch (const OutOfMemoryException &) {
    send_error("out of memory", 0);
    return nullptr;
  }
  // A text that stops being XML before its first element is no request
  // either; it is reported like one that never started.
  if (!started || names.name() == nullptr) {
    char line[1023];
    ACE_OS::snprintf(line, sizeof line, "no valid XML tag found in \"%.*s\".",
                     static_cast<int>(text.size()), text.c_str());
    send_error(line, 0);
    return nullptr;
  }
  return names.take_name();
}

int Qorrfc_V9_Handler::handle_mb(ACE_Message_Block *message) {
  ACE_DEBUG((LM_TRACE, "%D(%P|%t) Entering Qorrfc_V9_Handler handle mb\n"));
  Qorrfc_Base_Request *request = receive_request(message);
  if (request == nullptr) return 1;
  current_request(request);
  int result = request->parse_common_attributes();
  if (result != 0) return result;
  if (request->open_connection() == RFC_HANDLE_NULL) {
    request->report_rfc_error();
    return -1;
  }
  return request->call_req_function();
}

Qorrfc_Base_Request *Qorrfc_V9_Handler::receive_request(ACE_Message_Block *message) {
  ACE_Message_Block copy(message->total_length());
  for (ACE_Message_Block *block = message; block; block = block->cont())
    copy.copy(block->rd_ptr(), block->length());
  char *root = get_request_type(&copy);
  if (root == nullptr) return nullptr;
  const Qorrfc_Grammar &grammar = qorrfc_grammar(root);
  XMLString::release(&root);

  std::unique_ptr<XercesDOMParser> parser(new XercesDOMParser);
  Qorrfc_No_Entities no_entities;
  no_entities.confine(*parser);
  parser->setValidationScheme(XercesDOMParser::Val_Always);
  parser->setCreateEntityReferenceNodes(false);
  qorrfc_service_xmlerr errors(this);
  parser->setErrorHandler(&errors);
  bool failed = false;
  try {
    ACEMBInputSource source(message, grammar.prefix, grammar.length);
    parser->parse(source);
  } catch (const XMLException &e) {
    char line[2048];
    ACE_OS::snprintf(line, sizeof line, "Error at line %d. Message: %s\n",
                     static_cast<int>(e.getSrcLine()), qorrfc_local_text(e.getMessage()).c_str());
    send_error(line, 0);
    failed = true;
  } catch (const OutOfMemoryException &) {
    send_error("out of memory", 0);
    failed = true;
  }
  // The parser outlives these helpers inside the request.
  parser->setErrorHandler(nullptr);
  parser->setEntityResolver(nullptr);
  parser->setSecurityManager(nullptr);
  if (failed || errors.saw_error() || parser->getErrorCount() != 0) return nullptr;

  XERCES_CPP_NAMESPACE_QUALIFIER DOMDocument *document = parser->getDocument();
  DOMElement *element = document ? document->getDocumentElement() : nullptr;
  if (element == nullptr) return nullptr;
  std::string name = qorrfc_local_text(element->getTagName());
  Qorrfc_Base_Request *request = qorrfc_make_v9_request(name.c_str(), this, parser.get());
  if (request == nullptr) {
    std::string line = name + " requests are not served";
    send_error(line.c_str(), 0);
    return nullptr;
  }
  parser.release();
  return request;
}
