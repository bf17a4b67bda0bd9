// What the service shell's tests share: the log of a piece of code, a
// registry of the test's own (TestRegistry), and command lines from word
// lists.
#pragma once

#include <ace/Log_Msg.h>

#include <sstream>
#include <string>
#include <vector>

#if defined (ACE_WIN32)
#include "nt_test_registry.h"
#else
#include "unix_test_registry.h"
#endif

namespace qtest {

// Sends the log to a string while it lives.
class LogCapture {
 public:
  LogCapture() {
    ACE_LOG_MSG->msg_ostream(&out_, false);
    ACE_LOG_MSG->clr_flags(ACE_Log_Msg::STDERR | ACE_Log_Msg::SYSLOG);
    ACE_LOG_MSG->set_flags(ACE_Log_Msg::OSTREAM);
  }
  ~LogCapture() {
    ACE_LOG_MSG->clr_flags(ACE_Log_Msg::OSTREAM);
    ACE_LOG_MSG->set_flags(ACE_Log_Msg::STDERR);
    ACE_LOG_MSG->msg_ostream(nullptr, false);
  }
  std::string text() const { return out_.str(); }

 private:
  std::ostringstream out_;
};

// argv of a program called name with the words.
class Argv {
 public:
  Argv(std::vector<std::string> words, const char *program = "qorrfc_server")
      : words_(std::move(words)) {
    if (program) words_.insert(words_.begin(), program);
    for (auto &w : words_) ptrs_.push_back(&w[0]);
    ptrs_.push_back(nullptr);
  }
  int argc() const { return static_cast<int>(words_.size()); }
  char **argv() { return ptrs_.data(); }

 private:
  std::vector<std::string> words_;
  std::vector<char *> ptrs_;
};

// The registry key that holds a service's stored options.
inline std::string parameters_key(const std::string &name) {
  return "SYSTEM\\CurrentControlSet\\Services\\" + name + "\\Parameters";
}

}  // namespace qtest
