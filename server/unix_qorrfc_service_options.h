// The Unix process model's settings: service name, work directory, the
// kill request and the pid file that lets a second invocation stop us.
#pragma once

#include <ace/Null_Mutex.h>
#include <ace/Singleton.h>
#include <ace/Synch_Traits.h>
#include <ace/Thread_Mutex.h>

#include "qorrfc_service_options.h"

class Platform_Options : public Options {
 public:
  Platform_Options();
  // Removes the pid file when this process wrote it.
  ~Platform_Options() override;

  // Fills the settings from the command line; exits with status 1 after
  // logging the usage text when the command line is not acceptable.
  void parse_args(int argc, char *argv[]);

  const char *name() const { return name_; }
  const char *workdir() const { return workdir_; }
  int kill_request() const { return kill_request_; }

  // workdir/name.pid, formatted on first use.
  const char *pid_file_path();
  // The number at the start of the pid file, or -1.
  int read_pid_file();
  // Opens the pid file for writing (0644 when created); 0 or -1.
  int create_pid_file();
  // Writes the process group id into the opened file and closes it.
  int write_pid_file();
  void pid_file_written(int flag) { pid_file_written_ = flag; }

 private:
  void usage(const char *program) const;

  char name_[128];
  char workdir_[1024];
  int kill_request_ = 0;
  int pid_file_written_ = 0;
  char pid_file_path_[1024];
  ACE_HANDLE pid_file_ = ACE_INVALID_HANDLE;
};

typedef ACE_Singleton<Platform_Options, ACE_SYNCH_MUTEX> QORRFC_OPTIONS;

// The process-wide settings, created on first use.
inline Platform_Options *qorrfc_options() { return QORRFC_OPTIONS::instance(); }
