// The Unix process model's settings: service name, work directory, the
// kill request and the pid file that lets a second invocation stop us.
// Code that reads the settings includes this header on every platform; the
// Windows build gets the service variant instead.
#pragma once

#include <ace/Null_Mutex.h>
#include <ace/Singleton.h>
#include <ace/Synch_Traits.h>
#include <ace/Thread_Mutex.h>

#if defined (ACE_WIN32)
#include "nt_qorrfc_service_options.h"
#else

#include <sys/types.h>

#include <string>

#include "qorrfc_service_options.h"

class Platform_Options : public Options {
 public:
  Platform_Options();
  // Removes the pid file when this process wrote it and it is still the
  // file written.
  ~Platform_Options() override;

  // Fills the settings from the command line; exits with status 1 after
  // logging the usage text when the command line is not acceptable.
  void parse_args(int argc, char *argv[]);

  const char *name() const { return name_; }
  const char *workdir() const { return workdir_; }
  int kill_request() const { return kill_request_; }

  // workdir/name.pid, formatted on first use.
  const char *pid_file_path();
  // The number at the start of the pid file, or -1 (also when the path is
  // a symbolic link).
  int read_pid_file();
  // Creates a new file (0644) beside the pid file's path for writing;
  // refuses a path that is a symbolic link. 0 or -1.
  int create_pid_file();
  // Writes the process group id into the new file, closes it and renames
  // it to the pid file's path.
  int write_pid_file();
  void pid_file_written(int flag) { pid_file_written_ = flag; }

 private:
  void usage(const char *program) const;
  // True (and logged) when the pid file's path is a symbolic link.
  bool pid_file_is_link();
  void remove_pid_file();

  char name_[128];
  char workdir_[1024];
  int kill_request_ = 0;
  int pid_file_written_ = 0;
  char pid_file_path_[1024];
  ACE_HANDLE pid_file_ = ACE_INVALID_HANDLE;
  std::string temp_pid_file_;
  // The written file, so that the stop removes that file and no other.
  bool pid_file_identity_ = false;
  char pid_text_[32] = "";
  dev_t pid_file_dev_ = 0;
  ino_t pid_file_ino_ = 0;
};

typedef ACE_Singleton<Platform_Options, ACE_SYNCH_MUTEX> QORRFC_OPTIONS;

// The process-wide settings, created on first use.
inline Platform_Options *qorrfc_options() { return QORRFC_OPTIONS::instance(); }

#endif  // ACE_WIN32
