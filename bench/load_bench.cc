// Many clients at once against one server and one r3sim: each client
// thread runs, in turn, a logon (connect request), a dialog extraction, a
// batch extraction (a background job calling back through the gateway), a
// function request and an extraction through the dialog-compatibility
// port, until the time is up. Every extraction is checked against the rows
// the simulator's own query gives on its database (count and an
// order-independent checksum). At the end the server's descriptors and
// threads are compared with their count before the load. A client that
// the server turns away with its "no room" line is counted as refused, not
// as lost. With --burst every client first logs on, all released at the
// same moment. Last line:
//   RESULT load clients=N extractions=E lost=L corrupt=C refused=R
//          fd_leak=F thread_leak=T connect_p50_ms=X connect_p99_ms=Y
//
//   load_bench --server HOST:PORT --compat PORT --r3port P --db FILE
//              --server-pid PID [--clients N] [--seconds S] [--burst 1]
#include <dirent.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "compat_session.h"
#include "dictionary.h"
#include "function_call.h"
#include "row_builder.h"
#include "select_request.h"
#include "select_session.h"
#include "sqlite_db.h"
#include "table_query.h"

namespace {

using Clock = std::chrono::steady_clock;

// What an extraction must deliver: its number of rows and the sum of
// their hashes (rows may come in any order).
struct Expected {
  unsigned long long rows = 0;
  unsigned long long sum = 0;
};

unsigned long long row_hash(const char *row, size_t n) {
  unsigned long long h = 1469598103934665603ull;
  for (size_t i = 0; i < n; ++i) h = (h ^ static_cast<unsigned char>(row[i])) * 1099511628211ull;
  return h;
}

// One kind of extraction the clients run.
struct Job {
  std::string table, where;
  size_t compat_length;
  Expected dialog, compat;  // all fields in dictionary layout; records of compat_length
};

// The simulator's rows of a job, laid out as the dialog module and the
// compatibility module lay them out.
void expect(r3sim::SqliteDb &db, Job &job) {
  auto def = r3sim::Dictionary::find(db, job.table);
  if (!def) throw std::runtime_error("no table " + job.table);
  r3sim::TableSelect select;
  select.fields = def->fields;
  select.where = job.where;
  r3sim::TableQuery query(db, *def, select);
  r3sim::RowLayout layout(select.fields);
  std::string row(layout.width(), '\0');
  query.run([&](const std::vector<r3sim::Value> &values) {
    std::fill(row.begin(), row.end(), '\0');
    r3sim::RowBuilder::build_row(layout, values, row.data());
    ++job.dialog.rows;
    job.dialog.sum += row_hash(row.data(), row.size());
    std::string record = row;
    record.resize(job.compat_length, ' ');
    ++job.compat.rows;
    job.compat.sum += row_hash(record.data(), record.size());
    return true;
  });
}

// What the server says, on either port, when it has no room for a client.
bool is_refusal(const std::string &error) {
  return error.find("no room for another connection") != std::string::npos;
}

struct Tally {
  std::atomic<unsigned long long> extractions{0}, lost{0}, corrupt{0}, failed_logons{0}, refused{0};
  std::mutex mutex;
  std::vector<double> connect_ms;
  std::map<std::string, int> errors;  // first words of what went wrong, counted

  void error(const std::string &what) {
    std::lock_guard<std::mutex> lock(mutex);
    ++errors[what.substr(0, 120)];
  }
};

// Rows that arrived against what was expected: lost when fewer came or
// the extraction broke off, corrupt when the rows differ.
void check(Tally &t, bool complete, const Expected &got, const Expected &want) {
  ++t.extractions;
  if (!complete || got.rows < want.rows)
    ++t.lost;
  else if (got.rows != want.rows || got.sum != want.sum)
    ++t.corrupt;
}

class Client {
 public:
  Client(const qorclient::LogonOptions &logon, int compat_port, Tally &tally)
      : logon_(logon), compat_port_(compat_port), tally_(tally) {}

  void connect() {
    qorclient::SelectSession s(std::chrono::seconds(120));
    auto start = Clock::now();
    bool ok = s.log_on(logon_);
    double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (!ok) {
      if (is_refusal(s.error())) {
        ++tally_.refused;
        return;
      }
      ++tally_.failed_logons;
      tally_.error("logon: " + s.error() + (s.errors().empty() ? "" : " " + s.errors()[0]));
      return;
    }
    std::lock_guard<std::mutex> lock(tally_.mutex);
    tally_.connect_ms.push_back(ms);
  }

  void select(const Job &job, bool batch) {
    qorclient::SelectSession s(std::chrono::seconds(120));
    qorclient::SelectOptions select;
    select.table = job.table;
    select.where = job.where;
    Expected got;
    size_t width = 0;
    bool ok = s.log_on(logon_) &&
              s.run(qorclient::sselect_element(select), batch,
                    [&](const std::vector<qorclient::FieldLayout> &, size_t w) { width = w; },
                    [&](const char *row) {
                      ++got.rows;
                      got.sum += row_hash(row, width);
                    });
    if (!ok && is_refusal(s.error())) {
      ++tally_.refused;
      return;
    }
    if (!ok) tally_.error((batch ? "batch " : "dialog ") + job.table + ": " + s.error() +
                          (s.errors().empty() ? "" : " " + s.errors()[0]));
    check(tally_, ok, got, job.dialog);
  }

  // STFC_CONNECTION gives back the text it was given.
  void function(unsigned step) {
    using namespace qorclient;
    const auto timeout = std::chrono::seconds(120);
    MainSession logon(timeout), data(timeout), request(timeout);
    std::string text = "load " + std::to_string(step), line;
    FunctionCall call{"STFC_CONNECTION", {}, {}};
    call.parameters.push_back({"REQUTEXT", false, false, 255, text});
    call.parameters.push_back({"ECHOTEXT", true, false, 255, ""});
    bool ok = logon.open(logon_.server_host, logon_.server_port) &&
              logon.send_request(connect_element(logon_)) && logon.read_line(line) &&
              !MainSession::is_error_line(line) &&
              data.open(logon_.server_host, logon_.server_port) &&
              request.open(logon_.server_host, logon_.server_port) &&
              request.send_request(call.element(logon.handle(), data.handle()));
    FunctionReply reply;
    if (ok) reply = read_function_reply(request, data, call.widths());
    std::string opened = logon.error() + data.error() + request.error();
    if (!ok && is_refusal(opened)) {
      ++tally_.refused;
      return;
    }
    ++tally_.extractions;
    std::string echo = ok && reply.data.size() == 1 && reply.data[0].second.size() == 1
                           ? reply.data[0].second[0]
                           : "";
    text.resize(255, ' ');
    if (!ok || reply.failed() || !reply.error.empty()) {
      ++tally_.lost;
      // The logon's own reply is its system information unless it failed.
      tally_.error("function: " + (MainSession::is_error_line(line) ? line : "") + opened +
                   reply.error + (reply.lines.empty() ? "" : " " + reply.lines[0]));
    } else if (echo != text) {
      ++tally_.corrupt;
    }
  }

  void compat(const Job &job) {
    using qorclient::CompatRecord;
    using qorclient::CompatSession;
    const auto timeout = std::chrono::seconds(120);
    CompatSession l(timeout), d(timeout), r(timeout);
    Expected got;
    bool ok = l.open(logon_.server_host, compat_port_) && d.open(logon_.server_host, compat_port_) &&
              r.open(logon_.server_host, compat_port_);
    std::vector<std::string> logon = qorclient::compat_logon_commands(logon_);
    logon.push_back("CCONNECT");
    for (size_t i = 0; ok && i < logon.size(); ++i) ok = l.command(logon[i]);
    std::vector<std::string> commands = {"CHANDLE " + l.handle(), "DHANDLE " + d.handle(),
                                         "TABLE " + job.table,
                                         "LENGTH " + std::to_string(job.compat_length),
                                         "WHERESTART"};
    for (const auto &w : qorclient::compat_where_lines(job.where)) commands.push_back("WHERETXT " + w);
    commands.push_back("WHEREEND");
    for (size_t i = 0; ok && i < commands.size(); ++i) ok = r.command(commands[i]);
    std::vector<std::string> lines;
    ok = ok && r.send("DCONNECT") && r.read_reply(lines) && lines.empty();
    if (ok) {
      CompatRecord rec;
      while (d.read_record(job.compat_length, rec)) {
        if (rec.kind != CompatRecord::Kind::kData) ok = false;
        ++got.rows;
        got.sum += row_hash(rec.bytes.data(), rec.bytes.size());
      }
      ok = d.error().empty() && r.read_reply(lines) && lines.empty();
    }
    std::string opened = l.error() + d.error() + r.error();
    if (!ok && is_refusal(opened)) {
      ++tally_.refused;
      return;
    }
    if (!ok) {
      std::string why = opened;
      for (const auto &x : {&l, &r})
        for (const auto &line : x->last_reply()) why += " " + line;
      for (const auto &line : lines) why += " " + line;
      tally_.error("compat " + job.table + ": " + why);
    }
    check(tally_, ok, got, job.compat);
    // The server keeps a compatibility logon until it is released.
    CompatSession release(timeout);
    if (release.open(logon_.server_host, compat_port_)) release.command("DISCONNECT " + l.handle());
  }

 private:
  qorclient::LogonOptions logon_;
  int compat_port_;
  Tally &tally_;
};

int count_fds(const std::string &pid) {
  DIR *d = opendir(("/proc/" + pid + "/fd").c_str());
  if (!d) return -1;
  int n = 0;
  while (dirent *e = readdir(d))
    if (e->d_name[0] != '.') ++n;
  closedir(d);
  return n;
}

double percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  size_t i = static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
  return v[std::min(i, v.size() - 1)];
}

}  // namespace

int main(int argc, char **argv) {
  std::map<std::string, std::string> a{{"--clients", "20"}, {"--seconds", "10"}};
  for (int i = 1; i + 1 < argc; i += 2) a[argv[i]] = argv[i + 1];
  for (const char *need : {"--server", "--compat", "--r3port", "--db", "--server-pid"})
    if (!a.count(need)) {
      std::fprintf(stderr, "load_bench: %s is missing\n", need);
      return 2;
    }
  qorclient::LogonOptions logon;
  const std::string &server = a["--server"];
  logon.server_host = server.substr(0, server.rfind(':'));
  logon.server_port = std::atoi(server.c_str() + server.rfind(':') + 1);
  logon.ashost = "127.0.0.1";
  logon.sysnr = "00";
  logon.gwserv = a["--r3port"];
  logon.client = "800";
  logon.user = "DEMO";
  logon.password = "welcome1";
  logon.lang = "EN";
  const int clients = std::atoi(a["--clients"].c_str());
  const int compat_port = std::atoi(a["--compat"].c_str());
  const std::string pid = a["--server-pid"];

  std::vector<Job> jobs = {{"SCARR", "", 40, {}, {}},
                           {"SFLIGHT", "CARRID EQ 'QA'", 60, {}, {}},
                           {"SBOOK", "", 120, {}, {}},
                           {"SPFLI", "COUNTRYFR NE 'XX'", 200, {}, {}}};
  try {
    r3sim::SqliteDb db(a["--db"], false);
    for (auto &job : jobs) expect(db, job);
  } catch (const std::exception &e) {
    std::fprintf(stderr, "load_bench: %s\n", e.what());
    return 1;
  }

  Tally tally;
  // One round alone first: what stays in the server after it (libraries,
  // caches) is not a leak.
  Client(logon, compat_port, tally).select(jobs[0], false);
  Client(logon, compat_port, tally).select(jobs[0], true);
  Client(logon, compat_port, tally).function(0);
  Client(logon, compat_port, tally).compat(jobs[0]);
  const int fds_before = bench::settled([&] { return count_fds(pid); });
  const int threads_before = bench::settled([&] { return bench::threads(pid); });
  tally.extractions = tally.lost = tally.corrupt = 0;

  const bool burst = a.count("--burst") && a["--burst"] != "0";
  // A burst holds every client until all are ready, then lets all log on
  // at once; otherwise each starts as soon as its thread runs, at its own
  // step of the round.
  std::mutex gate_mutex;
  std::condition_variable gate;
  int waiting = 0;
  bool open_gate = !burst;
  auto end = Clock::now();
  const auto duration = std::chrono::seconds(std::atoi(a["--seconds"].c_str()));
  if (!burst) end += duration;
  std::vector<std::thread> threads;
  for (int c = 0; c < clients; ++c)
    threads.emplace_back([&, c] {
      Client client(logon, compat_port, tally);
      {
        std::unique_lock<std::mutex> lock(gate_mutex);
        if (++waiting == clients && burst) {
          end = Clock::now() + duration;
          open_gate = true;
          gate.notify_all();
        }
        gate.wait(lock, [&] { return open_gate; });
      }
      const unsigned first = burst ? 0u : static_cast<unsigned>(c);
      for (unsigned step = first; Clock::now() < end; ++step) {
        const Job &job = jobs[step % jobs.size()];
        switch (step % 5) {
          case 0: client.connect(); break;
          case 1: client.select(job, false); break;
          case 2: client.select(job, true); break;
          case 3: client.function(step); break;
          default: client.compat(job); break;
        }
      }
    });
  for (auto &t : threads) t.join();

  const int fds_after = bench::settled([&] { return count_fds(pid); });
  const int threads_after = bench::settled([&] { return bench::threads(pid); });
  for (const auto &e : tally.errors) std::fprintf(stderr, "load_bench: %dx %s\n", e.second, e.first.c_str());
  std::printf("load: %d clients%s, %zu logons (%llu failed), %llu extractions, %llu refused; "
              "server fds %d -> %d, threads %d -> %d\n",
              clients, burst ? " in a burst" : "", tally.connect_ms.size(),
              tally.failed_logons.load(), tally.extractions.load(), tally.refused.load(), fds_before,
              fds_after, threads_before, threads_after);
  std::printf("RESULT load clients=%d extractions=%llu lost=%llu corrupt=%llu refused=%llu "
              "fd_leak=%d thread_leak=%d connect_p50_ms=%.1f connect_p99_ms=%.1f\n",
              clients, tally.extractions.load(), tally.lost.load(), tally.corrupt.load(),
              tally.refused.load(), fds_after - fds_before, threads_after - threads_before,
              percentile(tally.connect_ms, 0.5), percentile(tally.connect_ms, 0.99));
  return tally.lost == 0 && tally.corrupt == 0 && tally.failed_logons == 0 ? 0 : 1;
}
