#include "unix_qorrfc_service_options.h"

#include <ace/Get_Opt.h>
#include <ace/Log_Msg.h>
#include <ace/OS_NS_fcntl.h>
#include <ace/OS_NS_stdio.h>
#include <ace/OS_NS_stdlib.h>
#include <ace/OS_NS_string.h>
#include <ace/OS_NS_unistd.h>

Platform_Options::Platform_Options() {
  ACE_OS::strcpy(name_, "qorrfcv9");
  ACE_OS::strcpy(workdir_, "/tmp");
  pid_file_path_[0] = '\0';
}

Platform_Options::~Platform_Options() {
  if (pid_file_ != ACE_INVALID_HANDLE) ACE_OS::close(pid_file_);
  if (pid_file_written_) ACE_OS::unlink(pid_file_path());
}

void Platform_Options::usage(const char *program) const {
  ACE_DEBUG((LM_INFO,
             "Usage: %s -dN -k -n name -p port -w workdir -V variant -N ns -c port "
             "-b \"bparms\" -B min_bufsize -U unlimited_dialog\n"
             "  -d: Debug; run as a regular application.  If not\n"
             "      present, the program will run as a daemon process.\n"
             "      MVS only: a value of STC is used to run as a \n"
             "      started task, respecting the MVS STOP command.\n"
             "  -k: Kill the service\n"
             "  -n: name of the service.\n"
             "      (Used to distinguish multiple daemons.\n"
             "       For example, start a test server with '-n test').\n"
             "  -p: Port number on which the server listens.\n"
             "  -w: Working directory.  Used for .pid and .conf files.\n"
             "  -V: R/3 report variant assigned to this server.\n"
             "      (Required for batch operation.)\n"
             "  -N: R/3 namespace for ABAP objects.\n"
             "  -c: Dialog compatibility port.\n"
             "  -b: Parameters for batch compatibility (optional).\n"
             "      (Example: -b \"-p 6995 -R ZQORRDBT -V MYVAR1\")\n"
             "  -B: Minimum buffer size for RFC data transfers.\n"
             "      (Should be a number greater than 10000\n"
             "       and less than 99999999.)\n"
             "  -U: Extract unlimited records in dialog mode\n"
             "      unlimited_dialog = 0 or n or N\n"
             "                            enforce the limit (default)\n"
             "      unlimited_dialog = 1 or y or Y\n"
             "                            do not enforce limit (old style)\n",
             program));
  ACE_OS::exit(1);
}

void Platform_Options::parse_args(int argc, char *argv[]) {
  ACE_Get_Opt get_opt(argc, argv, "kd:n:p:w:V:b:c:N:B:U:", 1, 0, ACE_Get_Opt::PERMUTE_ARGS);
  for (int c; (c = get_opt()) != -1;) {
    const char *arg = get_opt.opt_arg();
    switch (c) {
      case 'd':
        debug_level(ACE_OS::atoi(arg));
        if (debug_level() < 1) usage(argv[0]);
        break;
      case 'k':
        kill_request_ = 1;
        break;
      case 'n':
        ACE_OS::strsncpy(name_, arg, sizeof name_);
        break;
      case 'p':
        port(ACE_OS::atoi(arg));
        if (port() < 1) usage(argv[0]);
        break;
      case 'w':
        ACE_OS::strsncpy(workdir_, arg, sizeof workdir_);
        break;
      case 'V':
        variant(arg);
        break;
      case 'b':
        set_bparms(arg);
        if (*bcompat_variant() == '\0') {
          ACE_ERROR((LM_ERROR, "batch compatibility variant must be specified\n"));
          usage(argv[0]);
        }
        break;
      case 'c':
        compat_port(ACE_OS::atoi(arg));
        if (compat_port() < 1) usage(argv[0]);
        break;
      case 'N':
        ns(arg);
        break;
      case 'B':
        min_bufsize(ACE_OS::atoi(arg));
        if (min_bufsize() < MIN_BUFSIZE || ACE_OS::strlen(arg) > 8) {
          min_bufsize(MIN_BUFSIZE);
          ACE_ERROR((LM_ERROR, "minimum bufsize ignored - 10000 used\n"));
        }
        break;
      case 'U':
        if (set_unlimited_dialog(arg) == -1) {
          ACE_ERROR((LM_ERROR, "-U value invalid\n"));
          usage(argv[0]);
        }
        break;
      default:
        usage(argv[0]);
    }
  }
}

const char *Platform_Options::pid_file_path() {
  if (pid_file_path_[0] == '\0')
    ACE_OS::snprintf(pid_file_path_, sizeof pid_file_path_, "%s%c%s.pid", workdir_, '/', name_);
  return pid_file_path_;
}

int Platform_Options::read_pid_file() {
  ACE_HANDLE h = ACE_OS::open(pid_file_path(), O_RDONLY);
  if (h == ACE_INVALID_HANDLE) {
    ACE_ERROR((LM_ERROR, "Cannot open file <%s> %p\n", pid_file_path(), ""));
    return -1;
  }
  char buf[1024];
  ssize_t n = ACE_OS::read(h, buf, sizeof buf - 1);
  ACE_OS::close(h);
  if (n <= 0) {
    ACE_ERROR((LM_ERROR, "Cannot read file <%s> %p\n", pid_file_path(), ""));
    return -1;
  }
  buf[n] = '\0';
  return ACE_OS::atoi(buf);
}

int Platform_Options::create_pid_file() {
  // Truncated, so that a longer stale number cannot leave digits behind.
  pid_file_ = ACE_OS::open(pid_file_path(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (pid_file_ == ACE_INVALID_HANDLE) {
    ACE_ERROR((LM_ERROR, "Cannot create file <%s> %p\n", pid_file_path(), ""));
    return -1;
  }
  return 0;
}

int Platform_Options::write_pid_file() {
  if (pid_file_ == ACE_INVALID_HANDLE) return -1;
  char buf[32];
  int len = ACE_OS::snprintf(buf, sizeof buf, "%d", static_cast<int>(ACE_OS::getpgid(0)));
  ssize_t n = ACE_OS::write(pid_file_, buf, static_cast<size_t>(len));
  ACE_OS::close(pid_file_);
  pid_file_ = ACE_INVALID_HANDLE;
  if (n != len) {
    ACE_ERROR((LM_ERROR, "Problem writing file <%s> %p\n", pid_file_path(), ""));
    return -1;
  }
  return 0;
}
