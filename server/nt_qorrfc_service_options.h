// The Windows service's settings: service and display name, the requests
// to the service control manager, and the argument list that an installed
// service keeps in the registry. Built on every platform, so that the
// service shell runs (against stand-ins) wherever the server is tested.
#pragma once

#include <ace/Singleton.h>
#include <ace/Synch_Traits.h>

#include <string>

#include "qorrfc_service_options.h"

namespace qorrfc_nt {

class Platform_Options : public Options {
 public:
  enum { DEMAND_START = 3 };

  Platform_Options();

  // Fills the settings from the words of a command line, the first of
  // them skipped as the program name when skip_args is 1; then builds the
  // stored argument list. Exits with status 1 after logging the usage
  // text when the words are not acceptable.
  void parse_args(int argc, char *argv[], int skip_args = 1);
  // Logs the usage text and ends the process with status 1.
  void usage() const;

  const char *name() const { return name_; }
  void name(const char *name);
  const char *display_name() const { return display_name_; }
  int install() const { return install_; }
  int remove() const { return remove_; }
  int start() const { return start_; }
  int kill() const { return kill_; }
  int set_startup() const { return set_startup_; }
  int startup_type() const { return startup_type_; }

  // The options that the service needs again when the service control
  // manager starts it, as one text.
  const char *stored_args() const { return stored_args_.c_str(); }
  // Reads the stored list of the service named name from the registry into
  // text; 0, or -1 after logging which step failed.
  int get_registry(std::string &text) const;
  // Writes stored_args to the registry under the service's name; 0 or -1.
  int set_registry() const;

 private:
  void store_args();
  // Parameters key of the service named name.
  std::string registry_key() const;

  char name_[128];
  char display_name_[1024];
  int install_ = 0, remove_ = 0, start_ = 0, kill_ = 0, set_startup_ = 0;
  int startup_type_ = DEMAND_START;
  // -N and -V as given, for the stored list.
  std::string ns_arg_, variant_arg_;
  std::string program_ = "qorrfc_server";
  std::string stored_args_;
};

}  // namespace qorrfc_nt

typedef ACE_Singleton<qorrfc_nt::Platform_Options, ACE_SYNCH_MUTEX> QORRFC_NT_OPTIONS;

#if defined (ACE_WIN32)
using qorrfc_nt::Platform_Options;
typedef QORRFC_NT_OPTIONS QORRFC_OPTIONS;

// The process-wide settings, created on first use.
inline Platform_Options *qorrfc_options() { return QORRFC_OPTIONS::instance(); }
#endif
