#include "unix_qorrfc_service_options.h"

#if !defined (ACE_WIN32)

#include <ace/Get_Opt.h>
#include <ace/Log_Msg.h>
#include <ace/OS_NS_fcntl.h>
#include <ace/OS_NS_stdio.h>
#include <ace/OS_NS_stdlib.h>
#include <ace/OS_NS_string.h>
#include <ace/OS_NS_unistd.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <string>

Platform_Options::Platform_Options() {
  ACE_OS::strcpy(name_, "qorrfcv9");
  ACE_OS::strcpy(workdir_, "/tmp");
  pid_file_path_[0] = '\0';
}

Platform_Options::~Platform_Options() {
  if (pid_file_ != ACE_INVALID_HANDLE) {
    ACE_OS::close(pid_file_);
    ACE_OS::unlink(temp_pid_file_.c_str());
  }
  remove_pid_file();
}

void Platform_Options::remove_pid_file() {
  // Only the file this process wrote: another server may have replaced it
  // since, or someone may have put a link or another file in its place.
  // A file made after ours was removed may get its inode number again, so
  // the number written must still be there too.
  if (!pid_file_written_ || !pid_file_identity_) return;
  struct stat st;
  if (::lstat(pid_file_path(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_dev != pid_file_dev_ ||
      st.st_ino != pid_file_ino_)
    return;
  ACE_HANDLE h = ACE_OS::open(pid_file_path(), O_RDONLY | O_NOFOLLOW);
  if (h == ACE_INVALID_HANDLE) return;
  char buf[sizeof pid_text_];
  ssize_t n = ACE_OS::read(h, buf, sizeof buf);
  ACE_OS::close(h);
  if (n == static_cast<ssize_t>(ACE_OS::strlen(pid_text_)) &&
      ACE_OS::memcmp(buf, pid_text_, static_cast<size_t>(n)) == 0)
    ACE_OS::unlink(pid_file_path());
}

bool Platform_Options::pid_file_is_link() {
  struct stat st;
  if (::lstat(pid_file_path(), &st) != 0 || !S_ISLNK(st.st_mode)) return false;
  ACE_ERROR((LM_ERROR, "Refusing pid file <%s>: it is a symbolic link\n", pid_file_path()));
  return true;
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
             "%s",
             program, shared_usage()));
  ACE_OS::exit(1);
}

void Platform_Options::parse_args(int argc, char *argv[]) {
  ACE_Get_Opt get_opt(argc, argv, "kd:n:p:w:V:b:c:N:B:U:", 1, 0, ACE_Get_Opt::PERMUTE_ARGS);
  for (int c; (c = get_opt()) != -1;) {
    const char *arg = get_opt.opt_arg();
    switch (c) {
      case 'k':
        kill_request_ = 1;
        break;
      case 'n':
        ACE_OS::strsncpy(name_, arg, sizeof name_);
        break;
      case 'w':
        ACE_OS::strsncpy(workdir_, arg, sizeof workdir_);
        break;
      default:
        if (apply_shared_option(c, arg) != 0) usage(argv[0]);
    }
  }
}

const char *Platform_Options::pid_file_path() {
  if (pid_file_path_[0] == '\0')
    ACE_OS::snprintf(pid_file_path_, sizeof pid_file_path_, "%s%c%s.pid", workdir_, '/', name_);
  return pid_file_path_;
}

int Platform_Options::read_pid_file() {
  // The number read names a process group to signal: it must not come
  // from whatever file a planted link points to.
  if (pid_file_is_link()) return -1;
  ACE_HANDLE h = ACE_OS::open(pid_file_path(), O_RDONLY | O_NOFOLLOW);
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
  // The server often runs as root with a work directory others may write
  // to. The file is made anew beside the final name (never through a name
  // someone else may have prepared) and renamed into place when written,
  // which replaces a planted link itself rather than what it points to.
  if (pid_file_is_link()) return -1;
  temp_pid_file_ = std::string(pid_file_path()) + ".XXXXXX";
  pid_file_ = ::mkstemp(&temp_pid_file_[0]);
  if (pid_file_ == ACE_INVALID_HANDLE) {
    ACE_ERROR((LM_ERROR, "Cannot create file <%s> %p\n", pid_file_path(), ""));
    temp_pid_file_.clear();
    return -1;
  }
  ::fchmod(pid_file_, 0644);
  return 0;
}

int Platform_Options::write_pid_file() {
  if (pid_file_ == ACE_INVALID_HANDLE) return -1;
  int len = ACE_OS::snprintf(pid_text_, sizeof pid_text_, "%d",
                             static_cast<int>(ACE_OS::getpgid(0)));
  ssize_t n = ACE_OS::write(pid_file_, pid_text_, static_cast<size_t>(len));
  struct stat st;
  bool known = ::fstat(pid_file_, &st) == 0;
  ACE_OS::close(pid_file_);
  pid_file_ = ACE_INVALID_HANDLE;
  if (n != len || !known || ::rename(temp_pid_file_.c_str(), pid_file_path()) != 0) {
    ACE_ERROR((LM_ERROR, "Problem writing file <%s> %p\n", pid_file_path(), ""));
    ACE_OS::unlink(temp_pid_file_.c_str());
    temp_pid_file_.clear();
    return -1;
  }
  temp_pid_file_.clear();
  pid_file_dev_ = st.st_dev;
  pid_file_ino_ = st.st_ino;
  pid_file_identity_ = true;
  return 0;
}

#endif  // !ACE_WIN32
