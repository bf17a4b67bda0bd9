#include "command_line.h"

#include <cstdlib>

namespace r3sim {

namespace {

bool to_number(const std::string &s, long long lo, long long hi, long long *out) {
  if (s.empty()) return false;
  char *end = nullptr;
  long long v = std::strtoll(s.c_str(), &end, 10);
  if (*end != '\0' || v < lo || v > hi) return false;
  *out = v;
  return true;
}

}  // namespace

const char *CommandLine::usage() {
  return "usage: r3sim --db FILE [options]\n"
         "A simulated R/3 system: application server and gateway on one port,\n"
         "background jobs, and its tables in one SQLite database.\n"
         "\n"
         "  --db FILE        database; created with the demo data when missing\n"
         "  --port PORT      port of the application server and gateway\n"
         "                   (default 3300 + system number; 0 picks a free one)\n"
         "  --host ADDR      address to listen on (default 127.0.0.1)\n"
         "  --sysnr NN       system number, two digits (default 00)\n"
         "  --sysid SID      system id reported to clients (stored in the database;\n"
         "                   default QR1 for a new database)\n"
         "  --ns NAMESPACE   namespace of the QOR transport objects (default /QOR/)\n"
         "  --bookings N     bookings in SBOOK of a new database (default 100000)\n"
         "  --help           this text\n"
         "\n"
         "Prints \"r3sim ready on HOST:PORT\" once it accepts connections; stops\n"
         "in order on SIGTERM or SIGINT.\n";
}

CommandLine CommandLine::parse(const std::vector<std::string> &args) {
  CommandLine c;
  bool port_given = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string &a = args[i];
    if (a == "--help" || a == "-h") {
      c.help = true;
      return c;
    }
    if (i + 1 >= args.size()) {
      c.error = a.rfind("--", 0) == 0 ? "option " + a + " needs a value" : "unknown argument " + a;
      return c;
    }
    const std::string &v = args[++i];
    long long n = 0;
    if (a == "--db") {
      c.options.db = v;
    } else if (a == "--host") {
      c.options.host = v;
    } else if (a == "--ns") {
      c.options.ns = v;
    } else if (a == "--sysid") {
      if (v.size() != 3) c.error = "--sysid needs three characters";
      c.options.sysid = v;
    } else if (a == "--port") {
      if (!to_number(v, 0, 65535, &n)) c.error = "--port needs a number from 0 to 65535";
      c.options.port = static_cast<int>(n);
      port_given = true;
    } else if (a == "--sysnr") {
      if (v.size() != 2 || !to_number(v, 0, 99, &n)) c.error = "--sysnr needs two digits";
      c.options.sysnr = v;
    } else if (a == "--bookings") {
      if (!to_number(v, 0, 100000000, &n)) c.error = "--bookings needs a number up to 100000000";
      c.options.bookings = n;
    } else {
      c.error = "unknown option " + a;
    }
    if (!c.error.empty()) return c;
  }
  if (c.options.db.empty()) c.error = "--db FILE is required";
  if (!port_given) c.options.port = 3300 + std::atoi(c.options.sysnr.c_str());
  return c;
}

}  // namespace r3sim
