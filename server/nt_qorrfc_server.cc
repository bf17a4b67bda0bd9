// The Windows program: a select reactor for the whole process, the command
// dispatcher, and the wait for every thread before the process ends.
#include <ace/Reactor.h>
#include <ace/Select_Reactor.h>
#include <ace/Thread_Manager.h>

#include "nt_qorrfc_service.h"
#include "qorrfc_service.h"

int main(int argc, char *argv[]) {
  // Windows' default reactor is another kind; every handler expects this one.
  ACE_Reactor::instance(new ACE_Reactor(new ACE_Select_Reactor, true), true);
  int result = NT_QORRFC_SERVICE::instance()->dispatch(argc, argv);
  // Workers may still be finishing a request that parses XML.
  ACE_Thread_Manager::instance()->wait();
  qorrfc_service::terminate_xml();
  return result;
}
