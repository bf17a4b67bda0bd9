// r3sim: runs the simulated system until SIGTERM or SIGINT.
#include <malloc.h>
#include <signal.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "command_line.h"
#include "saprfc.h"
#include "simulator.h"

int main(int argc, char **argv) {
  using r3sim::CommandLine;
  CommandLine cl = CommandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
  if (cl.help) {
    std::fputs(CommandLine::usage(), stdout);
    return 0;
  }
  if (!cl.error.empty()) {
    std::fprintf(stderr, "r3sim: %s\n%s", cl.error.c_str(), CommandLine::usage());
    return 2;
  }
  // The signals are taken by sigwait below; every thread started from here
  // on inherits the mask, so none of them is interrupted by them.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);
  signal(SIGPIPE, SIG_IGN);
  // Pages of rows are megabytes each: keep freed memory for the next page
  // instead of mapping and faulting in fresh pages for every one.
  mallopt(M_MMAP_THRESHOLD, 64 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  RfcInit();
  try {
    r3sim::Simulator sim(cl.options);
    int port = sim.start();
    std::printf("r3sim ready on %s:%d\n", cl.options.host.c_str(), port);
    std::fflush(stdout);
    int sig = 0;
    sigwait(&stop, &sig);
    std::fprintf(stderr, "r3sim: signal %d, stopping\n", sig);
    sim.stop();
  } catch (const std::exception &e) {
    std::fprintf(stderr, "r3sim: %s\n", e.what());
    return 1;
  }
  std::fprintf(stderr, "r3sim: stopped\n");
  return 0;
}
