#include "qorrfc_service_manager.h"

#if !defined (ACE_WIN32)

#include <ace/Guard_T.h>
#include <ace/OS_NS_stdlib.h>
#include <ace/Singleton.h>
#include <ace/Synch_Traits.h>
#include <ace/Thread_Manager.h>
#include <ctype.h>

#include "qorrfc_file_registry.h"

namespace {

// The service a launched program's thread runs for.
thread_local std::string launched_for;

Qorrfc_File_Registry *registry() { return Qorrfc_File_Registry::instance(); }

std::string service_key(const char *name) {
  return std::string("SYSTEM\\CurrentControlSet\\Services\\") + name;
}

// Boot and system start are for drivers; a program's service takes these.
bool valid_start_type(DWORD type) {
  return type == SERVICE_AUTO_START || type == SERVICE_DEMAND_START || type == SERVICE_DISABLED;
}

bool installed(const char *name) {
  std::string start;
  return registry()->get(service_key(name), "Start", start) == Qorrfc_Registry::DONE;
}

}  // namespace

Qorrfc_Service_Manager::Qorrfc_Service_Manager() : changed_(lock_) {}

Qorrfc_Service_Manager *Qorrfc_Service_Manager::instance() {
  return ACE_Singleton<Qorrfc_Service_Manager, ACE_SYNCH_MUTEX>::instance();
}

std::string Qorrfc_Service_Manager::key(const char *name) {
  std::string k(name);
  for (char &c : k) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return k;
}

void Qorrfc_Service_Manager::program(Program program) { program_ = program; }

int Qorrfc_Service_Manager::create(const char *name, const char *display_name,
                                   DWORD start_type) {
  if (*name == '\0' || !valid_start_type(start_type) || installed(name)) return -1;
  std::string path = service_key(name);
  if (registry()->set(path, "DisplayName", display_name) != Qorrfc_Registry::DONE) return -1;
  return registry()->set(path, "Start", std::to_string(start_type)) == Qorrfc_Registry::DONE ? 0
                                                                                           : -1;
}

int Qorrfc_Service_Manager::remove(const char *name) {
  if (!installed(name)) return -1;
  return registry()->remove_key(service_key(name)) == Qorrfc_Registry::DONE ? 0 : -1;
}

int Qorrfc_Service_Manager::set_startup(const char *name, DWORD start_type) {
  if (!valid_start_type(start_type) || !installed(name)) return -1;
  return registry()->set(service_key(name), "Start", std::to_string(start_type)) ==
                 Qorrfc_Registry::DONE
             ? 0
             : -1;
}

DWORD Qorrfc_Service_Manager::startup(const char *name) {
  std::string start;
  if (registry()->get(service_key(name), "Start", start) != Qorrfc_Registry::DONE) return 0;
  return static_cast<DWORD>(ACE_OS::atoi(start.c_str()));
}

int Qorrfc_Service_Manager::start(const char *name) {
  DWORD start_type = startup(name);
  if (start_type == 0 || start_type == SERVICE_DISABLED || program_ == nullptr) return -1;
  ACE_GUARD_RETURN(ACE_Thread_Mutex, guard, lock_, -1);
  std::string k = key(name);
  if (runs_.count(k)) return -1;
  runs_[k] = Run{nullptr, SERVICE_START_PENDING, 0};
  if (ACE_Thread_Manager::instance()->spawn(launch, new std::string(name),
                                            THR_NEW_LWP | THR_DETACHED) == -1) {
    runs_.erase(k);
    return -1;
  }
  while (runs_.count(k) && runs_[k].state == SERVICE_START_PENDING) changed_.wait();
  return 0;
}

ACE_THR_FUNC_RETURN Qorrfc_Service_Manager::launch(void *run_name) {
  std::string *name = static_cast<std::string *>(run_name);
  launched_for = *name;
  delete name;
  Qorrfc_Service_Manager *self = instance();
  char program_name[] = "qorrfc_server";
  char *argv[] = {program_name, nullptr};
  self->program_(1, argv);
  ACE_GUARD_RETURN(ACE_Thread_Mutex, guard, self->lock_, 0);
  self->runs_.erase(key(launched_for.c_str()));
  self->changed_.broadcast();
  return 0;
}

int Qorrfc_Service_Manager::run_dispatcher(Qorrfc_Managed_Service *service) {
  if (launched_for.empty()) return -1;
  std::string k = key(launched_for.c_str());
  {
    ACE_GUARD_RETURN(ACE_Thread_Mutex, guard, lock_, -1);
    runs_[k].service = service;
  }
  std::string name = launched_for;
  char *argv[] = {&name[0], nullptr};
  service->init(1, argv);
  service->svc();
  // Stopped is reported only now that svc is over: from here on the
  // process may end, and the service object may go.
  ACE_GUARD_RETURN(ACE_Thread_Mutex, guard, lock_, -1);
  Run &run = runs_[k];
  run.state = SERVICE_STOPPED;
  run.service = nullptr;
  changed_.broadcast();
  while (run.controls > 0) changed_.wait();
  return 0;
}

int Qorrfc_Service_Manager::report(Qorrfc_Managed_Service *service, DWORD state) {
  ACE_GUARD_RETURN(ACE_Thread_Mutex, guard, lock_, -1);
  for (auto &entry : runs_) {
    if (entry.second.service != service || service == nullptr) continue;
    entry.second.state = state;
    changed_.broadcast();
    return 0;
  }
  return -1;
}

int Qorrfc_Service_Manager::control(const char *name, DWORD code) {
  Qorrfc_Managed_Service *service;
  std::string k = key(name);
  {
    ACE_GUARD_RETURN(ACE_Thread_Mutex, guard, lock_, -1);
    auto it = runs_.find(k);
    if (it == runs_.end() || it->second.service == nullptr) return -1;
    service = it->second.service;
    ++it->second.controls;
  }
  service->handle_control(code);
  ACE_GUARD_RETURN(ACE_Thread_Mutex, guard, lock_, -1);
  --runs_[k].controls;
  changed_.broadcast();
  return 0;
}

DWORD Qorrfc_Service_Manager::state(const char *name) {
  ACE_GUARD_RETURN(ACE_Thread_Mutex, guard, lock_, SERVICE_STOPPED);
  auto it = runs_.find(key(name));
  return it == runs_.end() ? static_cast<DWORD>(SERVICE_STOPPED) : it->second.state;
}

void Qorrfc_Service_Manager::wait(const char *name) {
  ACE_GUARD(ACE_Thread_Mutex, guard, lock_);
  while (runs_.count(key(name))) changed_.wait();
}

void Qorrfc_Service_Manager::console_handler(int (*handler)(DWORD)) {
  console_handler_ = handler;
}

int Qorrfc_Service_Manager::console_event(DWORD event) {
  int (*handler)(DWORD) = console_handler_;
  return handler ? handler(event) : 0;
}

#endif  // !ACE_WIN32
