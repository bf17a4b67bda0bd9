#include "progress_line.h"

#include <unistd.h>

namespace qorclient {

ProgressLine::ProgressLine(bool enabled)
    : enabled_(enabled && isatty(STDERR_FILENO)),
      start_(std::chrono::steady_clock::now()),
      next_(start_ + std::chrono::milliseconds(250)) {}

void ProgressLine::update(unsigned long long rows, unsigned long long bytes) {
  // The clock is read once every 1024 rows only.
  if (!enabled_ || (rows & 1023) != 0) return;
  auto now = std::chrono::steady_clock::now();
  if (now < next_) return;
  next_ = now + std::chrono::milliseconds(250);
  show(rows, bytes);
}

void ProgressLine::finish(unsigned long long rows, unsigned long long bytes) {
  if (!enabled_ || !shown_) return;
  show(rows, bytes);
  std::fputc('\n', stderr);
}

void ProgressLine::show(unsigned long long rows, unsigned long long bytes) {
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  std::fprintf(stderr, "\r%llu rows, %.1f MB, %.0f rows/s   ", rows, bytes / 1e6,
               seconds > 0 ? rows / seconds : 0.0);
  std::fflush(stderr);
  shown_ = true;
}

}  // namespace qorclient
