// One extraction read twice in the same run: through the server's main port
// (a client logs on, sends an sselect, reads the records) and directly from
// r3sim through our RFC library (this program calls the dialog module and
// serves its callbacks itself, as the server would, with nothing in
// between); three alternating rounds, the best of each path counts. Prints
// the RESULT line of the benchmark:
//   RESULT NAME rows=N mb_per_s=X ratio_to_direct=R peak_rss_mb=M
//
//   select_bench --name N --server HOST:PORT --r3port P --table T
//                --blocksize B [--server-pid PID] [--ns NS] [--batch]
//                [--db FILE --rows N --width W]   (declares T as a generated
//                table of N rows of W bytes in r3sim's database first)
//                [--only direct|server]   (reads one path only, for a
//                profiler: prints its time, no RESULT line)
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "bench_support.h"
#include "qorrfc_data_cbf.h"
#include "qorrfc_function.h"
#include "qorrfc_itab.h"
#include "qorrfc_mdata_cbf.h"
#include "saprfc.h"
#include "select_request.h"
#include "select_session.h"
#include "sqlite_db.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Outcome {
  unsigned long long rows = 0, bytes = 0;
  double seconds = 0;
  bench::StreamSum sum;  // over every row, to prove both paths read the same
  std::string error;
};

void add_row(Outcome &o, const char *row, size_t width) {
  o.sum.add(row, width);
  ++o.rows;
  o.bytes += width;
}

// The server's answer to Z_QOR_GET_REQUEST_PARAMETERS for "all fields of
// one table, metadata and data", built here without a server.
class DirectParameters : public Qorrfc_Function {
 public:
  DirectParameters(const std::string &ns, const std::string &table, const std::string &blocksize)
      : Qorrfc_Function("Z_QOR_GET_REQUEST_PARAMETERS"),
        table_(table),
        abapprog_(ns + "Z_QOR_READ"),
        blocksize_(blocksize) {
    make_table("MDATA", RFCTYPE_CHAR, 72);
    make_table("JDATA", RFCTYPE_CHAR, 72);
    make_exporting("FUNC_FLAG", "B", 1);
    make_exporting("ABAPPROG", abapprog_.c_str(), static_cast<unsigned>(abapprog_.size()));
    make_exporting("VARIANT", "", 0);
    make_exporting("BLOCKSIZE", blocksize_.c_str(), 8);
    make_exporting("DEBUG", " ", 1);
    make_exporting("DEST", "", 0);
    make_exporting("DHANDLE", "direct", 6);
    make_exporting("DIALOG_FLAG", "X", 1);
    build_all();
  }
  RFC_RC answer(RFC_HANDLE handle) {
    RFC_RC rc = get_data(handle);
    if (rc != RFC_OK) return rc;
    Qorrfc_Itab mdata(table_handle(0)), jdata(table_handle(1));
    mdata.append_line("%s,*", table_.c_str());
    jdata.append_line("sselect");
    jdata.append_line("T,%s,,", table_.c_str());
    return send_data(handle);
  }

 private:
  std::string table_, abapprog_, blocksize_;
};

Outcome direct(const std::string &r3port, const std::string &ns, const std::string &table,
               const std::string &blocksize) {
  Outcome o;
  std::string cs = "ashost=127.0.0.1 sysnr=00 gwserv=" + r3port +
                   " client=800 user=DEMO passwd=welcome1 lang=EN";
  RFC_ERROR_INFO_EX info;
  auto start = Clock::now();
  RFC_HANDLE h = RfcOpenEx(&cs[0], &info);
  if (h == RFC_HANDLE_NULL) {
    o.error = std::string("logon failed: ") + info.message;
    return o;
  }
  std::string fm = ns + "Z_QOR_DIALOG";
  Qorrfc_Function main_call(fm.c_str());
  Qorrfc_Parameter pdest("PDEST", const_cast<char *>("BACK"), 4, RFCTYPE_CHAR);
  main_call.add_exporting(&pdest);
  main_call.build_all();
  DirectParameters params(ns, table, blocksize);
  Qorrfc_Mdata_Cbf mdata("Z_QOR_MDATA");
  Qorrfc_Data_Cbf chunk("Z_QOR_DATA_CHUNK");
  RFC_RC rc = main_call.call(h);
  if (rc == RFC_OK) rc = main_call.receive(h);
  while (rc == RFC_CALL) {
    RFC_FUNCTIONNAME name;
    rc = RfcGetName(h, name);
    if (rc != RFC_OK) break;
    if (std::strcmp(name, "Z_QOR_GET_REQUEST_PARAMETERS") == 0) {
      rc = params.answer(h);
    } else if (std::strcmp(name, "Z_QOR_MDATA") == 0) {
      rc = mdata.receive(h);
      if (rc == RFC_OK) rc = mdata.send_data(h);
    } else if (std::strcmp(name, "Z_QOR_DATA_CHUNK") == 0) {
      rc = chunk.receive(h);
      if (rc == RFC_OK && chunk.emsg()[0] != '\0' && chunk.emsg()[0] != ' ')
        o.error = std::string("EMSG ") + chunk.emsg();
      Qorrfc_Itab *rows = chunk.dtab();
      for (unsigned i = 1; rc == RFC_OK && rows && i <= rows->rows(); ++i)
        add_row(o, rows->row(i), rows->row_length());
      if (rc == RFC_OK) rc = chunk.send(h);
    } else {
      o.error = std::string("unexpected callback ") + name;
      break;
    }
    if (rc == RFC_OK) rc = main_call.receive(h);
  }
  o.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (rc != RFC_OK && o.error.empty()) o.error = "RFC code " + std::to_string(rc);
  RfcClose(h);
  return o;
}

Outcome through_server(const std::string &server, const std::string &r3port,
                       const std::string &table, bool batch) {
  Outcome o;
  qorclient::LogonOptions logon;
  size_t colon = server.rfind(':');
  logon.server_host = server.substr(0, colon);
  logon.server_port = std::atoi(server.c_str() + colon + 1);
  logon.ashost = "127.0.0.1";
  logon.sysnr = "00";
  logon.gwserv = r3port;
  logon.client = "800";
  logon.user = "DEMO";
  logon.password = "welcome1";
  logon.lang = "EN";
  qorclient::SelectSession session(std::chrono::seconds(600));
  qorclient::SelectOptions select;
  select.table = table;
  size_t width = 0;
  auto start = Clock::now();
  bool done = session.log_on(logon) &&
              session.run(qorclient::sselect_element(select), batch,
                          [&](const std::vector<qorclient::FieldLayout> &, size_t w) { width = w; },
                          [&](const char *row) { add_row(o, row, width); });
  o.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (!done) {
    o.error = session.error();
    for (const auto &line : session.errors()) o.error += " " + line;
  }
  return o;
}

}  // namespace

int main(int argc, char **argv) {
  std::map<std::string, std::string> a{{"--ns", "/QOR/"}, {"--blocksize", "00010000"}};
  bool batch = false;
  for (int i = 1; i < argc; ++i) {
    std::string k = argv[i];
    if (k == "--batch") {
      batch = true;
    } else if (i + 1 < argc) {
      a[k] = argv[++i];
    }
  }
  for (const char *need : {"--name", "--server", "--r3port", "--table"})
    if (a.find(need) == a.end()) {
      std::fprintf(stderr, "select_bench: %s is missing\n", need);
      return 2;
    }
  if (a.count("--db")) {
    r3sim::SqliteDb db(a["--db"], false);
    db.exec("INSERT OR REPLACE INTO DD02L (TABNAME, TABCLASS, GENROWS, GENWIDTH) VALUES ('" +
            a["--table"] + "', 'GENER', " + std::to_string(std::atoll(a["--rows"].c_str())) +
            ", " + std::to_string(std::atoi(a["--width"].c_str())) + ")");
  }
  char blocksize[16];
  std::snprintf(blocksize, sizeof blocksize, "%08d", std::atoi(a["--blocksize"].c_str()));
  if (a.count("--only")) {
    bool server = a["--only"] == "server";
    for (int round = 0; round < 3; ++round) {
      Outcome o = server ? through_server(a["--server"], a["--r3port"], a["--table"], batch)
                         : direct(a["--r3port"], a["--ns"], a["--table"], blocksize);
      if (!o.error.empty()) {
        std::fprintf(stderr, "select_bench: %s\n", o.error.c_str());
        return 1;
      }
      std::printf("%s %s: %llu rows %.1f MB in %.2f s (%.1f MB/s)\n", a["--name"].c_str(),
                  a["--only"].c_str(), o.rows, o.bytes / 1e6, o.seconds,
                  o.bytes / 1e6 / o.seconds);
    }
    return 0;
  }
  // Alternating rounds, the best time of each path counts: one round alone
  // measures whatever else the machine was doing at that moment.
  Outcome d, s;
  for (int round = 0; round < 3; ++round) {
    Outcome dr = direct(a["--r3port"], a["--ns"], a["--table"], blocksize);
    Outcome sr = through_server(a["--server"], a["--r3port"], a["--table"], batch);
    for (const Outcome *o : {&dr, &sr})
      if (!o->error.empty()) {
        std::fprintf(stderr, "select_bench: %s: %s\n", o == &dr ? "direct" : "server",
                     o->error.c_str());
        return 1;
      }
    if (dr.rows != sr.rows || dr.sum.value() != sr.sum.value()) {
      std::fprintf(stderr, "select_bench: rows differ: direct %llu, server %llu\n", dr.rows,
                   sr.rows);
      return 1;
    }
    if (round == 0 || dr.seconds < d.seconds) d = dr;
    if (round == 0 || sr.seconds < s.seconds) s = sr;
  }
  double mbs = s.bytes / 1e6 / s.seconds, direct_mbs = d.bytes / 1e6 / d.seconds;
  std::printf("%s direct: %llu rows %.1f MB in %.2f s (%.1f MB/s); server: %.2f s (%.1f MB/s)\n",
              a["--name"].c_str(), d.rows, d.bytes / 1e6, d.seconds, direct_mbs, s.seconds, mbs);
  double rss = a.count("--server-pid") ? bench::peak_rss_mb(a["--server-pid"]) : 0;
  std::printf("RESULT %s rows=%llu mb_per_s=%.1f ratio_to_direct=%.2f peak_rss_mb=%.1f\n",
              a["--name"].c_str(), s.rows, mbs, mbs / direct_mbs, rss);
  return 0;
}
