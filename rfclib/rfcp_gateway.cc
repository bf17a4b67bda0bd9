#include "rfcp_gateway.h"

#include <poll.h>

#include <chrono>
#include <thread>

#include "rfc_conn.h"

namespace rfcp {

void Gateway::add(const std::string &progid, std::shared_ptr<rfcw::Socket> socket) {
  auto reg = std::make_shared<Registration>();
  reg->progid = progid;
  reg->socket = std::move(socket);
  std::lock_guard<std::mutex> lock(mutex_);
  regs_.push_back(std::move(reg));
}

void Gateway::refresh(const std::string &progid) {
  for (auto it = regs_.begin(); it != regs_.end();) {
    Registration &r = **it;
    bool gone = false;
    while (r.progid == progid && r.state != State::Busy) {
      pollfd p{r.socket->fd(), POLLIN, 0};
      if (::poll(&p, 1, 0) <= 0) break;
      rfcw::Frame f;
      std::string why;
      if (r.socket->read(f, 0, why) != rfcw::ReadResult::Ok || f.msg.kind != rfcw::Kind::Ready) {
        gone = true;
        break;
      }
      r.state = State::Ready;
    }
    if (gone) {
      r.socket->shutdown();
      it = regs_.erase(it);
    } else {
      ++it;
    }
  }
}

// A program that has closed its connection is no longer registered, also
// while the caller it served still holds the conversation: a busy
// registration is not read (its bytes belong to the caller), so its end is
// seen by the hang-up alone.
bool Gateway::hung_up(const Registration &r) {
  pollfd p{r.socket->fd(), POLLRDHUP, 0};
  return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

void Gateway::count(const std::string &progid, int &ninit, int &nready, int &nbusy) {
  std::lock_guard<std::mutex> lock(mutex_);
  refresh(progid);
  ninit = nready = nbusy = 0;
  for (const Entry &r : regs_) {
    if (r->progid != progid) continue;
    if (r->state == State::Busy && hung_up(*r)) continue;
    if (r->state == State::Init) ++ninit;
    if (r->state == State::Ready) ++nready;
    if (r->state == State::Busy || r->state == State::Used) ++nbusy;
  }
}

Gateway::Entry Gateway::choose(const std::string &progid, bool &coming) {
  refresh(progid);
  Entry chosen;
  coming = false;
  for (State wanted : {State::Ready, State::Init})
    for (const Entry &r : regs_)
      if (!chosen && r->progid == progid && r->state == wanted) chosen = r;
  for (const Entry &r : regs_)
    if (r->progid == progid && r->state == State::Used) coming = true;
  if (chosen) chosen->state = State::Busy;
  return chosen;
}

Gateway::Entry Gateway::wait_choose(const std::string &progid, rfcl::Error &err) {
  Entry chosen;
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  for (;;) {
    bool coming = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      chosen = choose(progid, coming);
    }
    if (chosen || !coming || std::chrono::steady_clock::now() > until) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (!chosen)
    err = rfcl::make_error(RFC_ERROR_COMMUNICATION, "program " + progid + " not registered");
  return chosen;
}

RFC_HANDLE Gateway::open(const std::string &progid, rfcl::Error &err) {
  // The registration serving the handle; another one when its program
  // unregisters before taking the first call.
  auto current = std::make_shared<Entry>(wait_choose(progid, err));
  if (!*current) return RFC_HANDLE_NULL;
  auto conn = std::make_shared<rfcl::Conn>(rfcl::Role::Gateway, (*current)->socket);
  conn->partner_host_ = (*current)->socket->peer_host();
  conn->logon_.progname = progid;
  std::weak_ptr<Gateway> self = shared_from_this();
  conn->on_close_ = [self, current](bool clean) {
    auto gw = self.lock();
    if (gw && *current) gw->release(*current, clean);
  };
  conn->reroute_ = [self, current, progid](rfcl::Error &e) -> std::shared_ptr<rfcw::Socket> {
    auto gw = self.lock();
    if (!gw) {
      e = rfcl::make_error(RFC_ERROR_COMMUNICATION, "program " + progid + " not registered");
      return nullptr;
    }
    gw->release(*current, false);
    *current = gw->wait_choose(progid, e);
    return *current ? (*current)->socket : nullptr;
  };
  return rfcl::add_handle(std::move(conn));
}

void Gateway::release(const Entry &reg, bool clean) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (clean) {
    reg->state = State::Used;
    return;
  }
  reg->socket->shutdown();
  regs_.remove(reg);
}

void Gateway::shutdown() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const Entry &r : regs_) r->socket->shutdown();
  regs_.clear();
}

}  // namespace rfcp
