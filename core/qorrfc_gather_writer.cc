#include "qorrfc_gather_writer.h"

#include <ace/ACE.h>
#include <ace/Log_Msg.h>
#include <ace/OS_NS_string.h>

#include <cerrno>

#ifdef IOV_MAX
const int Qorrfc_Gather_Writer::RANGES_PER_WRITE = IOV_MAX;
#else
const int Qorrfc_Gather_Writer::RANGES_PER_WRITE = 1024;
#endif

// Field by field: the members' order differs between platforms.
iovec Qorrfc_Gather_Writer::range(void *bytes, size_t n) {
  iovec r;
  r.iov_base = static_cast<char *>(bytes);
  r.iov_len = n;
  return r;
}

int Qorrfc_Gather_Writer::add_range(const void *bytes, size_t n) {
  if (failed_) return -1;
  if (n == 0) return 0;
  if (ranges_.size() >= MAX_RANGES && flush() == -1) return -1;
  if (n > SMALL_RANGE) {
    ranges_.push_back(range(const_cast<void *>(bytes), n));
    return 0;
  }
  if (!stage_) stage_.reset(new char[STAGE_BYTES]);
  if (staged_ + n > STAGE_BYTES && flush() == -1) return -1;
  stage_bytes(bytes, n);
  return 0;
}

int Qorrfc_Gather_Writer::add_filled_record(const void *row, size_t length, size_t width, char flag) {
  static const char zeros[SMALL_RANGE] = {};
  size_t take = length < width ? length : width;
  if (add(row, take) == -1) return -1;
  for (size_t left = width - take; left > 0;) {
    size_t n = left < sizeof zeros ? left : sizeof zeros;
    if (add(zeros, n) == -1) return -1;
    left -= n;
  }
  return add(&flag, 1);
}

int Qorrfc_Gather_Writer::flush() {
  size_t at = 0;
  while (!failed_ && at < ranges_.size()) {
    size_t left = ranges_.size() - at;
    ssize_t n = write_ranges(&ranges_[at], left < static_cast<size_t>(RANGES_PER_WRITE)
                                               ? static_cast<int>(left)
                                               : RANGES_PER_WRITE);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EWOULDBLOCK || errno == EAGAIN)) {
      if (ACE::handle_write_ready(socket_, nullptr) == 1) continue;
    }
    ACE_DEBUG((LM_DEBUG, "%D(%P|%t) %d bytes to QOR (maybe %d)\n", static_cast<int>(n > 0 ? n : 0),
               static_cast<int>(n)));
    if (n <= 0) {
      failed_ = true;
      break;
    }
    // A short write leaves the rest of a range for the next write.
    size_t sent = static_cast<size_t>(n);
    while (sent > 0 && at < ranges_.size()) {
      iovec &r = ranges_[at];
      if (sent < r.iov_len) {
        r.iov_base = static_cast<char *>(r.iov_base) + sent;
        r.iov_len -= sent;
        sent = 0;
      } else {
        sent -= r.iov_len;
        ++at;
      }
    }
  }
  ranges_.clear();
  staged_ = 0;
  return failed_ ? -1 : 0;
}
