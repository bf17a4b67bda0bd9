#include "qorrfc_service_options.h"

#include <ace/ARGV.h>
#include <ace/Get_Opt.h>
#include <ace/Log_Msg.h>
#include <ace/OS_NS_stdlib.h>
#include <ace/OS_NS_string.h>
#include <ctype.h>

#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/TransService.hpp>

XERCES_CPP_NAMESPACE_USE

Options::Options() { store(ns_, "/QOR/", false); }

Options::~Options() {
  delete[] bparms_;
  delete[] variant_;
  delete[] bcompat_variant_;
  delete[] bcompat_report_;
  delete[] ns_;
  release_utf8_transcoder();
}

void Options::store(char *&field, const char *value, bool upper) {
  delete[] field;
  size_t n = ACE_OS::strlen(value);
  field = new char[n + 1];
  for (size_t i = 0; i <= n; ++i)
    field[i] = upper ? static_cast<char>(toupper(static_cast<unsigned char>(value[i]))) : value[i];
}

void Options::set_bparms(const char *value) {
  store(bparms_, value, false);
  ACE_ARGV words(value, true);
  ACE_Get_Opt get_opt(words.argc(), words.argv(), "p:R:V:B:", 0, 0, ACE_Get_Opt::PERMUTE_ARGS);
  for (int c; (c = get_opt()) != -1;) {
    switch (c) {
      case 'p':
        bcompat_port_ = ACE_OS::atoi(get_opt.opt_arg());
        if (bcompat_port_ == 0) ACE_ERROR((LM_ERROR, "invalid batch compatibility port\n"));
        break;
      case 'R':
        bcompat_report(get_opt.opt_arg());
        break;
      case 'V':
        bcompat_variant(get_opt.opt_arg());
        break;
      case 'B':
        min_bufsize_ = ACE_OS::atoi(get_opt.opt_arg());
        if (min_bufsize_ < MIN_BUFSIZE) {
          min_bufsize_ = MIN_BUFSIZE;
          ACE_ERROR((LM_ERROR, "minimum bufsize ignored - 10000 used\n"));
        }
        break;
      default:
        ACE_ERROR((LM_ERROR, "unknown batch compatibility parameter\n"));
        break;
    }
  }
  if (bcompat_port_ == 0) bcompat_port_ = DEFAULT_BCOMPAT_PORT;
}

int Options::set_unlimited_dialog(const char *value) {
  if (value == nullptr || value[0] == '\0' || value[1] != '\0') return -1;
  switch (value[0]) {
    case '0': case 'n': case 'N':
      unlimited_dialog_ = ' ';
      return 0;
    case '1': case 'y': case 'Y':
      unlimited_dialog_ = 'X';
      return 0;
    default:
      return -1;
  }
}

void Options::apply_debug_level() const {
  u_long mask = ACE_LOG_MSG->priority_mask(ACE_Log_Msg::PROCESS);
  if (debug_level_ <= 0) ACE_CLR_BITS(mask, LM_WARNING);
  if (debug_level_ <= 1) ACE_CLR_BITS(mask, LM_NOTICE);
  if (debug_level_ <= 2) ACE_CLR_BITS(mask, LM_DEBUG);
  if (debug_level_ <= 3) ACE_CLR_BITS(mask, LM_TRACE);
  ACE_LOG_MSG->priority_mask(mask, ACE_Log_Msg::PROCESS);
}

XMLTranscoder *Options::utf8_transcoder() {
  if (utf8_transcoder_ == nullptr && XMLPlatformUtils::fgTransService != nullptr) {
    XMLTransService::Codes code;
    utf8_transcoder_ =
        XMLPlatformUtils::fgTransService->makeNewTranscoderFor("UTF-8", code, 16384);
  }
  return utf8_transcoder_;
}

void Options::release_utf8_transcoder() {
  delete utf8_transcoder_;
  utf8_transcoder_ = nullptr;
}
