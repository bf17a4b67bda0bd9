#include "nt_qorrfc_service_options.h"

#include <ace/Get_Opt.h>
#include <ace/Log_Msg.h>
#include <ace/OS_NS_stdlib.h>
#include <ace/OS_NS_string.h>

#include <vector>

#include "qorrfc_registry.h"

namespace qorrfc_nt {

namespace {

const char kOptstring[] = "i:rskt:d:n:p:b:c:V:N:B:U:";

bool takes_value(char option) {
  const char *at = option == ':' ? nullptr : ACE_OS::strchr(kOptstring, option);
  return at && at[1] == ':';
}

// ACE_Get_Opt would take the word after a bare -i as its value; -i with no
// value of its own (last, or followed by an option) asks for demand start.
std::vector<char *> with_install_default(int argc, char *argv[], int first) {
  static char demand_start[] = "-i3";
  std::vector<char *> words(argv, argv + argc);
  for (int i = first; i < argc; ++i) {
    const char *w = words[i];
    if (w[0] != '-' || w[1] == '\0' || w[2] != '\0') continue;
    if (w[1] == 'i') {
      if (i + 1 == argc || words[i + 1][0] == '-') words[i] = demand_start;
    } else if (takes_value(w[1])) {
      ++i;  // the option's value, whatever it looks like
    }
  }
  words.push_back(nullptr);
  return words;
}

}  // namespace

Platform_Options::Platform_Options() {
  ACE_OS::strcpy(name_, "qorrfcv9");
  ACE_OS::strcpy(display_name_, "QOR RFC Service V9");
}

void Platform_Options::name(const char *name) { ACE_OS::strsncpy(name_, name, sizeof name_); }

void Platform_Options::usage() const {
  ACE_DEBUG((LM_INFO,
             "Usage: %s -i [startup_type] -r -s -k -t startup_type -dN -n name[,desc] -p port "
             "-V variant -N ns -c port -b \"bparms\" -B min_bufsize -U unlimited_dialog\n"
             "  -i: Install the service with its startup type:\n"
             "      2 automatic, 3 on demand (default), 4 disabled.\n"
             "  -r: Remove the service.\n"
             "  -s: Start the service.\n"
             "  -k: Kill (stop) the service.\n"
             "  -t: Change the startup type of the installed service.\n"
             "  -d: Debug; run as a regular application.  If not\n"
             "      present, the program will run as a service.\n"
             "  -n: name of the service, and after a comma its display name.\n"
             "      (Used to distinguish multiple services.\n"
             "       For example, install a test server with '-n test').\n"
             "  -p: Port number on which the server listens.\n"
             "%s",
             program_.c_str(), shared_usage()));
  ACE_OS::exit(1);
}

void Platform_Options::parse_args(int argc, char *argv[], int skip_args) {
  if (skip_args && argc > 0) program_ = argv[0];
  std::vector<char *> words = with_install_default(argc, argv, skip_args);
  ACE_Get_Opt get_opt(argc, words.data(), kOptstring, skip_args, 0, ACE_Get_Opt::PERMUTE_ARGS);
  for (int c; (c = get_opt()) != -1;) {
    const char *arg = get_opt.opt_arg();
    switch (c) {
      case 'i':
        install_ = 1;
        startup_type_ = ACE_OS::atoi(arg);
        if (startup_type_ < 1) usage();
        break;
      case 'r':
        remove_ = 1;
        break;
      case 's':
        start_ = 1;
        break;
      case 'k':
        kill_ = 1;
        break;
      case 't':
        set_startup_ = 1;
        startup_type_ = ACE_OS::atoi(arg);
        if (startup_type_ < 1) usage();
        break;
      case 'n': {
        const char *comma = ACE_OS::strchr(arg, ',');
        size_t length = comma ? static_cast<size_t>(comma - arg) : ACE_OS::strlen(arg);
        ACE_OS::strsncpy(name_, arg, (length < sizeof name_ ? length : sizeof name_ - 1) + 1);
        if (comma && comma[1] != '\0')
          ACE_OS::strsncpy(display_name_, comma + 1, sizeof display_name_);
        break;
      }
      default:
        if (c == 'N') ns_arg_ = arg;
        if (c == 'V') variant_arg_ = arg;
        if (apply_shared_option(c, arg) != 0) usage();
    }
  }
  store_args();
}

void Platform_Options::store_args() {
  stored_args_.clear();
  auto add = [this](const char *option, const std::string &value) {
    if (!stored_args_.empty()) stored_args_ += ' ';
    stored_args_ += std::string(option) + ' ' + value;
  };
  add("-p", std::to_string(port()));
  if (compat_port() != 0) add("-c", std::to_string(compat_port()));
  if (*bparms() != '\0') add("-b", std::string("'") + bparms() + "'");
  if (min_bufsize() != MIN_BUFSIZE) add("-B", std::to_string(min_bufsize()));
  if (unlimited_dialog() != ' ') add("-U", "1");
  if (!ns_arg_.empty()) add("-N", ns_arg_);
  if (!variant_arg_.empty()) add("-V", variant_arg_);
  if (debug_level() != 0 && !install_) add("-d", std::to_string(debug_level()));
}

std::string Platform_Options::registry_key() const {
  return std::string("SYSTEM\\CurrentControlSet\\Services\\") + name_ + "\\Parameters";
}

int Platform_Options::get_registry(std::string &text) const {
  switch (Qorrfc_Registry::instance()->get(registry_key(), "AppParameter", text)) {
    case Qorrfc_Registry::DONE:
      return 0;
    case Qorrfc_Registry::NO_ROOT:
      ACE_ERROR((LM_ERROR, "ACE_Predefined_Naming_Contexts::connect failed"));
      return -1;
    default:
      ACE_ERROR((LM_ERROR,
                 "in Platform_Options::get_registry "
                 "ACE_Registry::Naming_Contexts::bind/resolve_context failed"));
      return -1;
  }
}

int Platform_Options::set_registry() const {
  switch (Qorrfc_Registry::instance()->set(registry_key(), "AppParameter", stored_args_)) {
    case Qorrfc_Registry::DONE:
      return 0;
    case Qorrfc_Registry::NO_ROOT:
      ACE_ERROR((LM_ERROR, "ACE_Predefined_Naming_Contexts::connect failed"));
      return -1;
    case Qorrfc_Registry::NO_KEY:
      ACE_ERROR((LM_ERROR,
                 "in Platform_Options::set_registry "
                 "ACE_Registry::Naming_Contexts::bind/resolve_context failed"));
      return -1;
    default:
      ACE_ERROR((LM_ERROR, "ACE_Registry::Naming_Contexts::bind/resolve failed"));
      return -1;
  }
}

}  // namespace qorrfc_nt
