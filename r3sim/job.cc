#include "job.h"

#include <cstdio>

#include "clock_text.h"
#include "job_conversation.h"

namespace r3sim {

Job::Job(std::string count, JobSpec spec, const std::string &db_path, GatewayOpener opener)
    : count_(std::move(count)), spec_(std::move(spec)), db_(db_path, false),
      opener_(std::move(opener)) {}

Job::~Job() {
  if (partner_ != RFC_HANDLE_NULL) RfcClose(partner_);
}

void Job::log(const std::string &text) {
  ClockText now;
  Stmt s = db_.prepare(
      "INSERT INTO TBTCJOBLOG (JOBCOUNT, LINENO, ENTERDATE, ENTERTIME, TEXT) VALUES (?, ?, ?, ?, ?)");
  char lineno[16];
  std::snprintf(lineno, sizeof lineno, "%06d", ++lines_);
  s.bind(1, count_).bind(2, std::string(lineno)).bind(3, now.date).bind(4, now.time);
  s.bind(5, text.substr(0, 200)).step();
}

RFC_HANDLE Job::partner() {
  if (partner_ != RFC_HANDLE_NULL) return partner_;
  RFC_ERROR_INFO_EX err{};
  partner_ = opener_(spec_.progid, &err);
  if (partner_ == RFC_HANDLE_NULL) throw JobFailed(err.message);
  return partner_;
}

RFC_RC Job::call(const char *function, RFC_PARAMETER *exporting, RFC_PARAMETER *importing,
                 RFC_TABLE *tables, std::string *exception) {
  char *exc = nullptr;
  RFC_RC rc = RfcCallReceive(partner(), const_cast<char *>(function), exporting, importing,
                             tables, &exc);
  if (rc == RFC_EXCEPTION) {
    if (exception) *exception = exc ? exc : "";
    return rc;
  }
  if (rc != RFC_OK)
    throw JobFailed(std::string("Call of ") + function + " on program " + spec_.progid +
                    " failed: " + first_line_of_last_error());
  return rc;
}

}  // namespace r3sim
