#include "qorrfc_managed_service.h"

#if !defined (ACE_WIN32)

#include "qorrfc_service_manager.h"

void Qorrfc_Managed_Service::name(const char *name, const char *desc) {
  name_ = name;
  desc_ = desc ? desc : name;
}

int Qorrfc_Managed_Service::insert(DWORD start_type) {
  return Qorrfc_Service_Manager::instance()->create(name(), desc(), start_type);
}

int Qorrfc_Managed_Service::remove() { return Qorrfc_Service_Manager::instance()->remove(name()); }

int Qorrfc_Managed_Service::startup(DWORD startup) {
  return Qorrfc_Service_Manager::instance()->set_startup(name(), startup);
}

int Qorrfc_Managed_Service::start_svc() {
  return Qorrfc_Service_Manager::instance()->start(name());
}

int Qorrfc_Managed_Service::stop_svc() {
  return Qorrfc_Service_Manager::instance()->control(name(), SERVICE_CONTROL_STOP);
}

void Qorrfc_Managed_Service::handle_control(DWORD) {}

int Qorrfc_Managed_Service::report_status(DWORD new_status, DWORD) {
  return Qorrfc_Service_Manager::instance()->report(this, new_status);
}

#endif  // !ACE_WIN32
