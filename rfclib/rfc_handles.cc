// The table of open handles. A handle maps to its connection under a lock;
// callers keep a reference, so closing a handle in one thread never frees
// a connection another thread is still using.
#include <mutex>
#include <unordered_map>

#include "rfc_conn.h"

namespace rfcl {

namespace {
struct Table {
  std::mutex mutex;
  std::unordered_map<RFC_HANDLE, std::shared_ptr<Conn>> conns;
  RFC_HANDLE next = 1;
};

Table &table() {
  static Table t;
  return t;
}
}  // namespace

RFC_HANDLE add_handle(std::shared_ptr<Conn> conn) {
  Table &t = table();
  std::lock_guard<std::mutex> lock(t.mutex);
  RFC_HANDLE h = t.next++;
  if (t.next == RFC_HANDLE_NULL) t.next = 1;
  t.conns.emplace(h, std::move(conn));
  return h;
}

std::shared_ptr<Conn> find_handle(RFC_HANDLE h) {
  Table &t = table();
  std::lock_guard<std::mutex> lock(t.mutex);
  auto it = t.conns.find(h);
  return it == t.conns.end() ? nullptr : it->second;
}

std::shared_ptr<Conn> take_handle(RFC_HANDLE h) {
  Table &t = table();
  std::lock_guard<std::mutex> lock(t.mutex);
  auto it = t.conns.find(h);
  if (it == t.conns.end()) return nullptr;
  auto conn = std::move(it->second);
  t.conns.erase(it);
  return conn;
}

}  // namespace rfcl
