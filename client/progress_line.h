// The progress of a long extraction on standard error: rows, bytes and
// rows per second, rewritten in place a few times a second. Only on a
// terminal, so pipes and log files stay clean.
#pragma once

#include <chrono>
#include <cstdio>

namespace qorclient {

class ProgressLine {
 public:
  // Shown only when `enabled` and standard error is a terminal.
  explicit ProgressLine(bool enabled);
  // Called for every row; cheap when nothing is to be shown.
  void update(unsigned long long rows, unsigned long long bytes);
  // Ends the line once the extraction is over.
  void finish(unsigned long long rows, unsigned long long bytes);

 private:
  void show(unsigned long long rows, unsigned long long bytes);

  bool shown_ = false;
  bool enabled_;
  std::chrono::steady_clock::time_point start_, next_;
};

}  // namespace qorclient
