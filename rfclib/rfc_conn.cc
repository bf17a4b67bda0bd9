#include "rfc_conn.h"

#include <chrono>
#include <cstring>

#include "rfc_dial.h"
#include "rfc_lists.h"

namespace rfcl {

using rfcw::Kind;
using rfcw::ReadResult;

Conn::Conn(Role role, std::shared_ptr<rfcw::Socket> socket)
    : role_(role), socket_(std::move(socket)) {}

Conn::~Conn() = default;

RFC_RC Conn::fail(const Error &e) {
  if (!broken_) {
    broken_ = true;
    dead_error_ = e;
    socket_->shutdown();
  }
  stack_.clear();
  set_last(e);
  return RFC_FAILURE;
}

RFC_RC Conn::misuse(const std::string &what, RFC_RC rc) {
  set_last(program(what));
  return rc;
}

RFC_RC Conn::dead() {
  if (dropped_ && !broken_) return fail(broken(socket_->peer(), "connection dropped"));
  set_last(dead_error_);
  return closed_by_partner_ ? RFC_CLOSED : RFC_FAILURE;
}

bool Conn::send(rfcw::Encoder &e) {
  std::string why;
  if (socket_->send(e, why)) return true;
  fail(broken(socket_->peer(), why));
  return false;
}

bool Conn::read(rfcw::Frame &f, int timeout_ms, RFC_RC &rc, bool &timed_out) {
  timed_out = false;
  std::string why;
  switch (socket_->read(f, timeout_ms, why)) {
    case ReadResult::Ok:
      return true;
    case ReadResult::Timeout:
      timed_out = true;
      rc = RFC_RETRY;
      return false;
    case ReadResult::Malformed:
      rc = fail(protocol(socket_->peer(), why));
      return false;
    case ReadResult::Version:
      rc = fail(make_error(RFC_ERROR_PROTOCOL, "Protocol version mismatch\nERROR       " + why));
      return false;
    case ReadResult::Closed:
    case ReadResult::Broken:
      rc = fail(broken(socket_->peer(), dropped_ ? "connection dropped" : why));
      return false;
  }
  return false;
}

bool Conn::log_on() {
  rfcw::Encoder e(Kind::Logon, {});
  for (const std::string *s : {&logon_.client, &logon_.user, &logon_.passwd, &logon_.lang, &logon_.progname})
    e.text(s->substr(0, rfcw::kMaxText));
  e.finish();
  if (!send(e)) return false;
  rfcw::Frame f;
  RFC_RC rc;
  bool timed_out;
  if (!read(f, -1, rc, timed_out)) return false;
  if (f.msg.kind == Kind::Error) {
    fail(message_error(f.msg));
    return false;
  }
  if (f.msg.kind != Kind::LogonOk) {
    fail(protocol(socket_->peer(), std::string("unexpected ") + rfcw::kind_name(f.msg.kind) +
                                       " frame in answer to a logon"));
    return false;
  }
  const rfcw::Message &m = f.msg;
  system_ = SystemData{std::string(m.text(0)), std::string(m.text(1)), std::string(m.text(2)),
                      std::string(m.text(3)), std::string(m.text(4)), std::string(m.text(5)),
                      std::string(m.text(6))};
  logged_on_ = true;
  return true;
}

Conn::Level *Conn::pending() {
  if (stack_.empty() || !stack_.back().incoming) return nullptr;
  return &stack_.back();
}

RFC_RC Conn::call(const char *function, RFC_PARAMETER *exporting, RFC_TABLE *tables) {
  if (broken_ || dropped_) return dead();
  if (function == nullptr || *function == '\0' || std::strlen(function) > rfcw::kMaxName ||
      !rfcw::valid_name(function))
    return misuse("invalid function name", RFC_INVALID_PARAMETER);
  if (!stack_.empty() && !stack_.back().incoming)
    return misuse("a call is still open on this handle: receive its answer first");
  if ((role_ == Role::Session || role_ == Role::Registered) && stack_.empty())
    return misuse("a server handle calls its partner only while serving a call");
  if (role_ == Role::Client && !logged_on_ && !log_on()) return RFC_FAILURE;
  rfcw::Encoder e(Kind::Call, function);
  Error err;
  if (!encode_params(e, exporting, err) || !encode_tables(e, tables, nullptr, err))
    return misuse(err.message, RFC_INVALID_PARAMETER);
  if (!e.finish()) return misuse("call too large for one frame", RFC_INVALID_PARAMETER);
  if (role_ == Role::Gateway && !started_ && stack_.empty()) {
    first_call_.clear();
    for (const iovec &v : e.iov()) first_call_.append(static_cast<const char *>(v.iov_base), v.iov_len);
  }
  if (!send(e)) return RFC_FAILURE;
  stack_.push_back(Level{false, nullptr, {}});
  return RFC_OK;
}

RFC_RC Conn::answer_pending_empty() {
  if (!pending()) return RFC_OK;
  return answer(Kind::Reply, nullptr, nullptr, nullptr);
}

RFC_RC Conn::receive(RFC_PARAMETER *importing, RFC_TABLE *tables, char **exception) {
  if (broken_ || dropped_) return dead();
  RFC_RC rc = answer_pending_empty();
  if (rc != RFC_OK) return rc;
  if (stack_.empty()) return misuse("RfcReceive without an open call");
  for (;;) {
    auto f = std::make_unique<rfcw::Frame>();
    bool timed_out;
    if (!read(*f, -1, rc, timed_out)) return rc;
    const rfcw::Message &m = f->msg;
    if (role_ == Role::Gateway && !started_) {
      if (m.kind == Kind::Close && !first_call_.empty() && reroute_) {
        // The program unregistered before it took the call (a program
        // that has taken one never closes with CLOSE): the call goes to
        // another registration, as if it had been routed there at once.
        if (!route_anew()) return RFC_FAILURE;
        continue;
      }
      if (m.kind != Kind::Ready) {
        started_ = true;
        first_call_.clear();
        first_call_.shrink_to_fit();
      }
    }
    switch (m.kind) {
      case Kind::Call:
        stack_.push_back(Level{true, std::move(f), {}});
        return RFC_CALL;
      case Kind::Reply:
        stack_.pop_back();
        apply_params(m, importing);
        if (!apply_tables(m, tables, nullptr, f->body))
          return misuse("out of memory for received tables", RFC_MEMORY_INSUFFICIENT);
        return RFC_OK;
      case Kind::Exception:
        stack_.pop_back();
        if (!apply_tables(m, tables, nullptr, f->body))
          return misuse("out of memory for received tables", RFC_MEMORY_INSUFFICIENT);
        exception_.assign(m.name);
        if (exception) *exception = &exception_[0];
        set_last(make_error(RFC_ERROR_APPLICATION_EXCEPTION, exception_));
        return RFC_EXCEPTION;
      case Kind::SysFailure:
        fail(message_error(m));
        exception_ = "SYSTEM_FAILURE";
        if (exception) *exception = &exception_[0];
        return RFC_SYS_EXCEPTION;
      case Kind::Error:
        return fail(message_error(m));
      case Kind::Ready:
        continue;  // a registered program announcing itself late
      case Kind::Close:
      case Kind::ConvEnd:
        return fail(broken(socket_->peer(), "partner ended the conversation during a call"));
      default:
        return fail(protocol(socket_->peer(), std::string("unexpected ") + rfcw::kind_name(m.kind) +
                                                  " frame during a call"));
    }
  }
}

bool Conn::route_anew() {
  Error err;
  std::shared_ptr<rfcw::Socket> next = reroute_(err);
  if (!next) {
    fail(err);
    return false;
  }
  socket_ = std::move(next);
  partner_host_ = socket_->peer_host();
  return send_bytes(first_call_);
}

bool Conn::send_bytes(const std::string &bytes) {
  std::string why;
  if (socket_->send(bytes, why)) return true;
  fail(broken(socket_->peer(), why));
  return false;
}

RFC_RC Conn::wait(int seconds) {
  if (role_ != Role::Session && role_ != Role::Registered)
    return misuse("RfcWaitForRequest needs a server handle");
  if (broken_ || dropped_) return dead();
  RFC_RC rc = answer_pending_empty();
  if (rc != RFC_OK) return rc;
  if (!stack_.empty()) return misuse("RfcWaitForRequest while a call is open");
  if (role_ == Role::Registered && !ready_sent_) {
    std::string why;
    if (!socket_->send_empty(Kind::Ready, why)) return fail(broken(socket_->peer(), why));
    ready_sent_ = true;
  }
  using Clock = std::chrono::steady_clock;
  auto end = Clock::now() + std::chrono::seconds(seconds < 0 ? 0 : seconds);
  for (;;) {
    int timeout = -1;
    if (seconds >= 0) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
      timeout = left > 0 ? static_cast<int>(left) : 0;
    }
    auto f = std::make_unique<rfcw::Frame>();
    bool timed_out;
    if (!read(*f, timeout, rc, timed_out)) return timed_out ? RFC_RETRY : rc;
    switch (f->msg.kind) {
      case Kind::Call:
        stack_.push_back(Level{true, std::move(f), {}});
        return RFC_OK;
      case Kind::ConvEnd:
        // The gateway's caller is done. A registered program tells the
        // gateway it waits for the next one: until then none is routed to
        // it, so one that unregisters instead never receives a call.
        if (role_ == Role::Registered) {
          std::string why;
          if (!socket_->send_empty(Kind::Ready, why)) return fail(broken(socket_->peer(), why));
        }
        continue;
      case Kind::Close:
        fail(make_error(RFC_ERROR_COMMUNICATION, "Connection closed by partner"));
        closed_by_partner_ = true;
        return RFC_CLOSED;
      case Kind::Error:
        return fail(message_error(f->msg));
      default:
        return fail(protocol(socket_->peer(), std::string("unexpected ") +
                                                  rfcw::kind_name(f->msg.kind) +
                                                  " frame while waiting for a call"));
    }
  }
}

RFC_RC Conn::get_name(char *function) {
  if (broken_ || dropped_) return dead();
  Level *l = pending();
  if (!l) return misuse("RfcGetName without a pending call");
  if (!function) return misuse("RfcGetName without a buffer", RFC_INVALID_PARAMETER);
  std::string_view n = l->frame->msg.name;
  std::memcpy(function, n.data(), n.size());
  function[n.size()] = '\0';
  return RFC_OK;
}

RFC_RC Conn::get_data(RFC_PARAMETER *importing, RFC_TABLE *tables) {
  if (broken_ || dropped_) return dead();
  Level *l = pending();
  if (!l) return misuse("RfcGetData without a pending call");
  apply_params(l->frame->msg, importing);
  l->received.clear();
  if (!apply_tables(l->frame->msg, tables, &l->received, l->frame->body))
    return misuse("out of memory for received tables", RFC_MEMORY_INSUFFICIENT);
  return RFC_OK;
}

RFC_RC Conn::answer(Kind kind, const char *name, RFC_PARAMETER *exporting, RFC_TABLE *tables) {
  if (broken_ || dropped_) return dead();
  Level *l = pending();
  if (!l) return misuse("no pending call to answer");
  std::string_view n = name ? std::string_view(name) : std::string_view();
  if (n.size() > rfcw::kMaxWord) return misuse("exception name too long", RFC_INVALID_PARAMETER);
  rfcw::Encoder e(kind, n);
  Error err;
  if (!encode_params(e, exporting, err) || !encode_tables(e, tables, &l->received, err))
    return misuse(err.message, RFC_INVALID_PARAMETER);
  if (!e.finish()) return misuse("answer too large for one frame", RFC_INVALID_PARAMETER);
  if (!send(e)) return RFC_FAILURE;
  stack_.pop_back();
  return RFC_OK;
}

RFC_RC Conn::send_data(RFC_PARAMETER *exporting, RFC_TABLE *tables) {
  return answer(Kind::Reply, nullptr, exporting, tables);
}

RFC_RC Conn::raise(const char *exception, RFC_TABLE *tables) {
  if (!exception || !*exception) return misuse("exception without a name", RFC_INVALID_PARAMETER);
  for (const char *c = exception; *c; ++c)
    if (static_cast<unsigned char>(*c) < ' ') return misuse("invalid exception name", RFC_INVALID_PARAMETER);
  return answer(Kind::Exception, exception, nullptr, tables);
}

RFC_RC Conn::system_failure(const RFC_ERROR_INFO_EX &error) {
  if (broken_ || dropped_) return dead();
  if (!pending()) return misuse("no pending call to answer");
  Error err = from_record(error);
  rfcw::Encoder e(Kind::SysFailure, {});
  e.text(err.key);
  e.text(err.message);
  e.num(static_cast<uint32_t>(err.group));
  e.finish();
  if (!send(e)) return RFC_FAILURE;
  stack_.clear();
  broken_ = true;
  dead_error_ = make_error(RFC_ERROR_COMMUNICATION, "Session ended by a system failure");
  socket_->shutdown();
  return RFC_OK;
}

void Conn::close() {
  bool clean = !broken_ && !dropped_ && stack_.empty();
  if (!broken_ && !dropped_) {
    std::string why;
    if (role_ == Role::Gateway) {
      if (clean) socket_->send_empty(Kind::ConvEnd, why);
    } else if (role_ == Role::Registered && !stack_.empty()) {
      // A program that has taken a call and closes without answering it
      // leaves without CLOSE: its caller must not take the call for
      // untaken and send it to another program.
    } else {
      socket_->send_empty(Kind::Close, why);
    }
  }
  // The gateway's handle shares the registered program's connection, which
  // lives on when the conversation ended cleanly.
  if (role_ != Role::Gateway || !clean) socket_->shutdown();
  if (on_close_) on_close_(clean);
}

void Conn::drop() {
  dropped_ = true;
  socket_->shutdown();
}

}  // namespace rfcl
