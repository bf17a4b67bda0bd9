// The partner side's server: listeners, one worker thread per accepted
// connection (told apart by its first frame: logon, registration,
// registration query, message-server query), and the gateway.
#pragma once

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "rfc_partner.h"
#include "rfc_socket.h"
#include "rfcp_gateway.h"

struct RFCP_SERVER {
  struct Worker {
    std::thread thread_;
    std::shared_ptr<rfcw::Socket> socket_;
    std::atomic<bool> done_{false};
    std::list<Worker>::iterator self_;  // its place in workers_
  };

  RFCP_CALLBACKS cb_{};
  void *ctx_ = nullptr;
  RFCP_SYSTEM sys_{};
  std::shared_ptr<rfcp::Gateway> gateway_ = std::make_shared<rfcp::Gateway>();

  std::mutex mutex_;
  std::vector<int> listeners_;
  std::string first_host_;
  int first_port_ = 0;
  int wake_[2] = {-1, -1};
  std::thread acceptor_;
  bool stopping_ = false;
  std::list<Worker> workers_;
  // Workers whose thread has finished, waiting to be joined: the acceptor
  // joins only these, not a walk over thousands of live connections at
  // every accept while holding mutex_.
  std::list<Worker> ended_;

  // Runs on the acceptor thread until the server is destroyed.
  void accept_loop();
  // Runs on a worker thread for each accepted connection.
  void serve(Worker *w);
  void serve_logon(const std::shared_ptr<rfcw::Socket> &s, const rfcw::Message &m);
  void serve_register(const std::shared_ptr<rfcw::Socket> &s, const rfcw::Message &m);
  void serve_ms_query(rfcw::Socket &s, const rfcw::Message &m);
  void reap_workers();
  // Called by a worker thread as it finishes.
  void worker_ended(Worker *w);
};
