// Where Windows has no say: the part of ACE_NT_Service that the service
// shell uses, run by the stand-in service manager, together with the
// Windows names and values the shell is written with.
#pragma once

#include <ace/Basic_Types.h>
#include <ace/Task.h>

#include <string>

#if !defined (ACE_WIN32)

typedef ACE_UINT32 DWORD;

enum : DWORD {
  SERVICE_STOPPED = 1,
  SERVICE_START_PENDING = 2,
  SERVICE_STOP_PENDING = 3,
  SERVICE_RUNNING = 4,
};
enum : DWORD {
  SERVICE_CONTROL_STOP = 1,
  SERVICE_CONTROL_INTERROGATE = 4,
  SERVICE_CONTROL_SHUTDOWN = 5,
};
enum : DWORD { SERVICE_AUTO_START = 2, SERVICE_DEMAND_START = 3, SERVICE_DISABLED = 4 };

class Qorrfc_Managed_Service : public ACE_Task_Base {
 public:
  // The service these calls address, and its display name (the name
  // again when desc is null).
  void name(const char *name, const char *desc = nullptr);
  const char *name() const { return name_.c_str(); }
  const char *desc() const { return desc_.c_str(); }

  // Requests to the service manager about the named service; 0 or -1.
  int insert(DWORD start_type = SERVICE_DEMAND_START);
  int remove();
  int startup(DWORD startup);
  // Starts it and waits until it runs or has ended again.
  int start_svc();
  // Asks it to stop; does not wait for the stop.
  int stop_svc();

  // Runs on the manager's side for each control request; the stand-in
  // needs nothing done for a control the service leaves alone.
  virtual void handle_control(DWORD control_code);

 protected:
  // Tells the manager the state of this running service; -1 when the
  // manager did not start this object.
  int report_status(DWORD new_status, DWORD time_hint = 0);

 private:
  std::string name_, desc_;
};

#endif  // !ACE_WIN32
