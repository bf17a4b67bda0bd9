// The reply lines of the compatibility protocols and the message records
// of the data connection.
#include <ace/OS_NS_stdio.h>
#include <ace/OS_NS_string.h>

#include <cstdarg>

#include "qorrfc_compat_handler.h"

void Qorrfc_Compat_Handler::send_system_info(const char *info, char bw_flag) {
  // Fields of the system-information structure, at fixed positions.
  static const struct {
    const char *format;
    int offset, width;
  } fields[] = {{"SIPROTO %.*s\n", 0, 3},     {"SICHRTYPE %.*s\n", 3, 4},
                {"SIINTTYPE %.*s\n", 7, 3},   {"SIFLTTYPE %.*s\n", 10, 3},
                {"SIDEST %.*s\n", 13, 32},    {"SIHOST %.*s\n", 45, 8},
                {"SISYSID %.*s\n", 53, 8},    {"SIDATABS %.*s\n", 61, 8},
                {"SIDBHOST %.*s\n", 69, 32},  {"SISAPRL %.*s\n", 111, 4},
                {"SIMACH %.*s\n", 115, 5},    {"SIOPSYS %.*s\n", 120, 10},
                {"SITZONE %.*s\n", 130, 6},   {"SIDAYST %.*s\n", 136, 1},
                {"SIIPADDR %.*s\n", 137, 15}};
  for (const auto &f : fields) send_format(f.format, f.width, info + f.offset);
  send_format("SIBWACT %c\n", bw_flag == 'Y' ? 'Y' : 'N');
}

void Qorrfc_Compat_Handler::send_error_lines(RFC_ERROR_INFO_EX &error) {
  send_format("ERROR+ Group=%d, Key=%.*s\n", static_cast<int>(error.group),
              static_cast<int>(sizeof error.key), error.key);
  const char *piece = error.message;
  const char *end = piece + ACE_OS::strnlen(piece, sizeof error.message);
  while (piece < end) {
    const char *lf = static_cast<const char *>(ACE_OS::memchr(piece, '\n', end - piece));
    const char *stop = lf ? lf : end;
    if (stop > piece)
      send_format("ERROR+ Message=%.*s\n", static_cast<int>(stop - piece), piece);
    piece = lf ? lf + 1 : end;
  }
  send_format("ERROR RFC request terminated\n");
}

int Qorrfc_Compat_Handler::send_error(const char *message, int) {
  return send_format("ERROR %s\n", message);
}

bool Qorrfc_Compat_Handler::send_own_rfc_error(const RFC_ERROR_INFO_EX &error) {
  RFC_ERROR_INFO_EX copy = error;
  send_error_lines(copy);
  return true;
}

void Qorrfc_Compat_Handler::send_exception_lines(const char *name) {
  send_format("ERROR+ Exception=%s\n", name ? name : "");
  send_format("ERROR RFC request terminated\n");
}

void Qorrfc_Compat_Handler::send_data_message(const char *format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  ACE_OS::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  send_data_text(text);
}

void Qorrfc_Compat_Handler::send_data_text(const char *text) {
  Qorrfc_Base_Handler *data = live_data_link();
  if (data == nullptr) return;
  records_.write_message(data->peer().get_handle(), text);
}
