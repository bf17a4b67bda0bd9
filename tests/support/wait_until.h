// Polls a condition that another thread or process makes true.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace qtest {

// True as soon as cond holds; false when it still does not after the time.
inline bool wait_until(const std::function<bool()> &cond,
                       std::chrono::milliseconds timeout = std::chrono::seconds(15)) {
  auto end = std::chrono::steady_clock::now() + timeout;
  while (!cond()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

}  // namespace qtest
