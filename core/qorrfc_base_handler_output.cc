// Every way of writing to a client socket.
#include <ace/Log_Msg.h>
#include <ace/OS_NS_stdio.h>
#include <ace/OS_NS_string.h>

#include <xercesc/util/TransService.hpp>

#include <cstdarg>
#include <vector>

#include "qorrfc_base_handler.h"
#include "qorrfc_gather_writer.h"
#include "qorrfc_send_flags.h"
#include "unix_qorrfc_service_options.h"
#include "sapitab.h"

XERCES_CPP_NAMESPACE_USE

int Qorrfc_Base_Handler::send(const char *bytes, size_t length) {
  return static_cast<int>(peer().send_n(bytes, length, QORRFC_SEND_FLAGS));
}

int Qorrfc_Base_Handler::send(const XMLCh *text, size_t length) {
  XMLTranscoder *transcoder = qorrfc_options()->utf8_transcoder();
  if (transcoder == nullptr) return -1;
  static const XMLSize_t capacity = 16384;
  std::vector<XMLByte> utf8(capacity);
  XMLSize_t eaten = 0;
  XMLSize_t n = transcoder->transcodeTo(text, length, utf8.data(), capacity, eaten,
                                        XMLTranscoder::UnRep_RepChar);
  return send(reinterpret_cast<const char *>(utf8.data()), n);
}

int Qorrfc_Base_Handler::send_format(const char *format, ...) {
  char buffer[1024];
  va_list args, again;
  va_start(args, format);
  va_copy(again, args);
  int n = ACE_OS::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (n < 0) {
    va_end(again);
    return -1;
  }
  if (n > static_cast<int>(sizeof buffer) - 1) {
    // A reply line cut to the buffer keeps its line end, or a client that
    // reads lines would wait for the rest of it for ever.
    std::vector<char> whole(static_cast<size_t>(n) + 1);
    ACE_OS::vsnprintf(whole.data(), whole.size(), format, again);
    n = sizeof buffer - 1;
    if (whole[whole.size() - 2] == '\n') buffer[n - 1] = '\n';
  }
  va_end(again);
  return send(buffer, static_cast<size_t>(n));
}

const char *Qorrfc_Base_Handler::request_too_large_text() const { return "E,request too large\n"; }

const char *Qorrfc_Base_Handler::capacity_refusal_text() const {
  return "E,server busy: no room for another connection, try again later\n";
}

int Qorrfc_Base_Handler::send_error(const char *message, int width) {
  if (width != 0 && data_connection_) data_connection_->send_table(nullptr, width);
  // The text is cut so that the whole line, line end included, fits.
  char line[1024];
  static const int TEXT_MAX = static_cast<int>(sizeof line) - 4;
  int n = ACE_OS::snprintf(line, sizeof line, "E,%.*s\n", TEXT_MAX, message);
  if (n < 0) return -1;
  return send(line, static_cast<size_t>(n));
}

int Qorrfc_Base_Handler::send_rfc_error() {
  char line[256];
  send_error("RFC Error:", 0);
  ACE_OS::snprintf(line, sizeof line, "Error Group: %d", static_cast<int>(error_info_.group));
  send_error(line, 0);
  ACE_OS::snprintf(line, sizeof line, "Key        : %s", error_info_.key);
  send_error(line, 0);
  // One line per line-feed-separated piece of the message.
  const char *piece = error_info_.message;
  const char *end = piece + ACE_OS::strnlen(piece, sizeof error_info_.message);
  do {
    const char *lf = static_cast<const char *>(ACE_OS::memchr(piece, '\n', end - piece));
    const char *stop = lf ? lf : end;
    ACE_OS::snprintf(line, sizeof line, "Message    : %.*s", static_cast<int>(stop - piece), piece);
    send_error(line, 0);
    piece = lf ? lf + 1 : end;
  } while (piece < end);
  return 0;
}

int Qorrfc_Base_Handler::send_table(ITAB_H table, int n) {
  if (table == nullptr) {
    unsigned char marker = 'X';
    if (n < 0) {
      marker = 0xFF;
      n = -n;
    }
    std::vector<char> record(static_cast<size_t>(n) + 1, '\0');
    record[static_cast<size_t>(n)] = static_cast<char>(marker);
    send(record.data(), record.size());
    ACE_DEBUG((LM_DEBUG, "%D(%P|%t) In Qorrfc_Base_Request::send_table. EOF/Error detected\n"));
    return 0;
  }
  if (row_width_ == 0) row_width_ = static_cast<int>(ItLeng(table));
  unsigned rows = ItFill(table);
  if (rows == 0) return 0;
  // Records are row_width_ + 1 bytes, the rows cut or zero-filled to that
  // width; they are gathered from the table, not copied into one buffer.
  size_t width = static_cast<size_t>(row_width_);
  size_t table_width = ItLeng(table);
  char flag = n != 0 ? 1 : 0;
  Qorrfc_Gather_Writer writer(peer().get_handle());
  for (unsigned i = 1; i <= rows; ++i) {
    const void *row = ItGetLine(table, i);
    if (writer.add_record(row, row ? table_width : 0, width, flag) == -1) break;
  }
  int sent = writer.flush();
  ItFree(table);
  return sent < 0 ? sent : 0;
}

char *Qorrfc_Base_Handler::join_texts(const char *a, const char *b, const char *c,
                                      const char *prefix) {
  if (a == nullptr || b == nullptr || c == nullptr) {
    char *empty = new char[1];
    empty[0] = '\0';
    return empty;
  }
  size_t len = ACE_OS::strlen(a) + ACE_OS::strlen(b) + ACE_OS::strlen(c) +
               (prefix ? ACE_OS::strlen(prefix) + 1 : 0) + 1;
  char *text = new char[len];
  if (prefix)
    ACE_OS::snprintf(text, len, "%s,%s%s%s", prefix, a, b, c);
  else
    ACE_OS::snprintf(text, len, "%s%s%s", a, b, c);
  return text;
}

int Qorrfc_Base_Handler::send_handle() {
  char record[HANDLE_RECORD_WIDTH + 2];
  ACE_OS::snprintf(record, sizeof record, "%-*s\n", static_cast<int>(HANDLE_RECORD_WIDTH), handle_);
  return send(record, HANDLE_RECORD_WIDTH + 1);
}
