// What the select tests share: a client that has logged on and holds a
// data connection, the run of one select request with its text lines and
// data records, and the rows r3sim produced, read again from its database
// with the SQL it logged and laid out by its own row builder.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "abap_field.h"
#include "e2e_system.h"
#include "socket_stream.h"
#include "wait_until.h"

namespace e2e {

struct SelectResult {
  std::vector<std::string> lines;  // on the request connection, until it closed
  std::vector<std::string> rows;   // row records of the data connection
  qorclient::Record last;          // the record after the rows (end or error)
  bool data_closed = false;        // the data connection was then half-closed
};

class SelectClient {
 public:
  // Logs on (connect request) and opens a data connection.
  explicit SelectClient(E2eSystem &sys);

  const std::string &chandle() const { return logon_->handle(); }
  const std::string &dhandle() const { return data_->handle(); }
  qorclient::MainSession &data() { return *data_; }
  // The root's attributes naming the logon and data connections.
  std::string handles() const;

  // Sends element on a new request connection, reads its lines until it
  // closes and, for a positive width, the records of the data connection.
  // A new data connection is opened for the next select.
  SelectResult run(const std::string &element, size_t width);
  // Sends element on a new request connection, which is returned.
  std::unique_ptr<qorclient::MainSession> send(const std::string &element);

 private:
  E2eSystem &sys_;
  std::unique_ptr<qorclient::MainSession> logon_, data_;
};

// Dictionary fields of table by name; every field when names is empty.
std::vector<r3sim::AbapField> dictionary_fields(E2eSystem &sys, const std::string &table,
                                                const std::vector<std::string> &names = {});
// The rows of sql on r3sim's database, laid out as records of fields.
std::vector<std::string> direct_rows(E2eSystem &sys, const std::string &sql,
                                     const std::vector<r3sim::AbapField> &fields);
// The SQL statements r3sim ran after call `after`, oldest first.
std::vector<std::string> logged_sql(E2eSystem &sys, int64_t after);
// The lines of one kind ("JDATA" or "MDATA") of the request parameters
// r3sim received after call `after`.
std::vector<std::string> received_lines(E2eSystem &sys, int64_t after, const std::string &kind);
// The value of NAME in the request parameters received after `after`.
std::string received_value(E2eSystem &sys, int64_t after, const std::string &name);
// Adds a fault for the next call of the dialog module.
void add_fault(E2eSystem &sys, const std::string &fault, const std::string &arg, int64_t nth);
// Registrations under the program id at r3sim's gateway, as any program
// registered there would ask.
int registrations(E2eSystem &sys, const std::string &progid = "QORRFC");
// "STATUS|log line|log line..." of every extraction job, oldest first.
std::vector<std::string> extraction_jobs(E2eSystem &sys);
// True when the server ends the connection within the time; what comes
// before the end is dropped.
bool ends_within(qorclient::SocketStream &stream,
                 std::chrono::milliseconds limit = std::chrono::seconds(10));

// Descriptors and threads of a process, from /proc.
int open_fds(pid_t pid);
int threads(pid_t pid);
// A server whose threads end with their connections (none waits for a
// next one), for tests that count its threads.
ServerSetup threads_end_with_connections(ServerSetup setup = {});
using qtest::wait_until;
// The value of count once it has stayed the same for a while (threads and
// descriptors of connections that have just ended go away shortly after).
int settled(const std::function<int()> &count);

}  // namespace e2e
