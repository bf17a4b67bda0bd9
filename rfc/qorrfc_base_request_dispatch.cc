// Routing of R/3's calls by function name, and the callbacks whose
// answers are text lines for the client.
#include <ace/Log_Msg.h>
#include <ace/OS_NS_stdio.h>
#include <ace/OS_NS_string.h>

#include "qorrfc_base_handler.h"
#include "qorrfc_base_request.h"
#include "qorrfc_bcompat_source.h"
#include "qorrfc_genprog_cbf.h"
#include "qorrfc_grp_bcompat_cbf.h"
#include "qorrfc_grp_connect_cbf.h"
#include "qorrfc_grp_function_cbf.h"
#include "qorrfc_grp_gselect_cbf.h"
#include "qorrfc_grp_nselect_cbf.h"
#include "qorrfc_grp_sselect_cbf.h"
#include "qorrfc_handler_registry.h"
#include "qorrfc_mdata_cbf.h"
#include "qorrfc_ssi_cbf.h"
#include "unix_qorrfc_service_options.h"

namespace {
struct Route {
  const char *name;
  Qorrfc_Base_Request::Callback_Handler handler;  // null: the parameters handler
};

const Route ROUTES[] = {
    {"Z_QOR_DATA_CHUNK", &Qorrfc_Base_Request::handle_data_chunk},
    {"Z_QOR_GET_REQUEST_PARAMETERS", nullptr},
    {"Z_QOR_GET_EXTRACTION_PARAMS", &Qorrfc_Base_Request::handle_grp_bcompat},
    {"Z_QOR_SEND_SYSTEM_INFO", &Qorrfc_Base_Request::handle_system_info},
    {"Z_QOR_MDATA", &Qorrfc_Base_Request::handle_mdata},
    {"Z_QOR_GENPROG", &Qorrfc_Base_Request::handle_genprog},
    {"Z_QOR_JOB_NUMBER", &Qorrfc_Base_Request::handle_batch_callrfc1},
    {"Z_QOR_GET_TOKEN", &Qorrfc_Base_Request::handle_batch_callrfc2},
    {"Z_QOR_GET_PARAMETER_TABLE", &Qorrfc_Base_Request::handle_parameter_table},
    {"Z_QOR_BATCH_CALLBACK1", &Qorrfc_Base_Request::handle_batch_callback1},
    {"Z_QOR_BATCH_CALLBACK2", &Qorrfc_Base_Request::handle_batch_callback2},
};

// Receives a callback on descriptor and answers it: the library's code,
// with a failure reported to the client.
template <class Descriptor>
int receive_and_answer(Qorrfc_Base_Request *request, Descriptor *descriptor, RFC_HANDLE handle) {
  int rc = descriptor->receive(handle);
  if (rc != RFC_OK) {
    request->send_error("RfcGetData failed");
    return rc;
  }
  rc = descriptor->send(handle);
  if (rc != RFC_OK) request->send_error("RfcSendData failed");
  return rc;
}

// Receives on a descriptor that is answered with a plain send_data after
// the lines have gone out.
template <class Descriptor, class Lines>
int receive_lines_answer(Qorrfc_Base_Request *request, Descriptor *descriptor, RFC_HANDLE handle,
                         Lines lines) {
  int rc = descriptor->receive(handle);
  if (rc != RFC_OK) {
    request->send_error("RfcGetData failed");
    return rc;
  }
  lines();
  rc = descriptor->send_data(handle);
  if (rc != RFC_OK) request->send_error("RfcSendData failed");
  return rc;
}
}  // namespace

int Qorrfc_Base_Request::dispatch_callback(RFC_HANDLE handle) {
  RFC_FUNCTIONNAME name_buffer[7];  // 200 bytes and more
  char *name = reinterpret_cast<char *>(name_buffer);
  ACE_OS::memset(name, 0, sizeof name_buffer);
  RFC_RC rc = RfcGetName(handle, name);
  if (rc != RFC_OK) {
    send_error("RfcGetName failed");
    return rc;
  }
  for (const Route &route : ROUTES) {
    if (ACE_OS::strcmp(name, route.name) != 0) continue;
    Callback_Handler handler = route.handler ? route.handler : parameters_handler_;
    if (handler == nullptr) handler = &Qorrfc_Base_Request::handle_no_parameters;
    return (this->*handler)(handle);
  }
  send_error("Unknown callback from R/3");
  return RESULT_ENDED;
}

int Qorrfc_Base_Request::handle_no_parameters(RFC_HANDLE) { return 0; }

int Qorrfc_Base_Request::handle_grp_connect(RFC_HANDLE handle) {
  if (!grpconn_) grpconn_.reset(new Qorrfc_Grp_Connect_Cbf("GRPCONN", get_abapprog(), configured_variant()));
  return receive_and_answer(this, grpconn_.get(), handle);
}

int Qorrfc_Base_Request::handle_grp_sselect(RFC_HANDLE handle) {
  if (!grpssel_) grpssel_.reset(new Qorrfc_Grp_Sselect_Cbf("GRPSSEL", this));
  return receive_and_answer(this, grpssel_.get(), handle);
}

int Qorrfc_Base_Request::handle_grp_nselect(RFC_HANDLE handle) {
  if (!grpnsel_) grpnsel_.reset(new Qorrfc_Grp_Nselect_Cbf("GRPNSEL", this));
  return receive_and_answer(this, grpnsel_.get(), handle);
}

int Qorrfc_Base_Request::handle_grp_gselect(RFC_HANDLE handle) {
  if (!grpgsel_) grpgsel_.reset(new Qorrfc_Grp_Gselect_Cbf("GRPGSEL", this));
  return receive_and_answer(this, grpgsel_.get(), handle);
}

int Qorrfc_Base_Request::handle_grp_function(RFC_HANDLE handle) {
  if (!grpfunc_) grpfunc_.reset(new Qorrfc_Grp_Function_Cbf("GRPFUNC", this));
  return receive_and_answer(this, grpfunc_.get(), handle);
}

int Qorrfc_Base_Request::handle_grp_bcompat(RFC_HANDLE handle) {
  Qorrfc_Base_Handler *logon = request_connection_ ? request_connection_->logon_link() : nullptr;
  if (!bcompat_key_) {
    std::string key;
    if (auto *source = dynamic_cast<const Qorrfc_Bcompat_Source *>(logon))
      key = std::string(source->bcompat_gw_host()) + source->bcompat_gw_serv() +
            source->bcompat_prog_id();
    bcompat_key_.reset(new char[key.size() + 1]);
    ACE_OS::strcpy(bcompat_key_.get(), key.c_str());
  }
  ACE_DEBUG((LM_TRACE, "%D(%P|%t) In Qorrfc_Base_Request::handle_grp_bcompat. About to get_destq_key with '%s'\n",
             bcompat_key_.get()));
  // The job runs inside this request's registration: its data connection
  // is the one to take out of the queue (see get_grp_dh).
  Qorrfc_Base_Handler *own = request_connection_ ? request_connection_->data_connection() : nullptr;
  const char *data_handle =
      request_connection_
          ? request_connection_->get_destq_key(bcompat_key_.get(), own ? own->handle() : nullptr)
          : "";
  ACE_DEBUG((LM_TRACE, "%D(%P|%t) In Qorrfc_Base_Request::handle_grp_bcompat. Got handle '%s'\n",
             data_handle ? data_handle : ""));
  // A job left without an answer would wait for ever: it is told to stop.
  auto refuse = [handle]() {
    char stop[] = "KILLED_BY_QOR";
    RfcRaise(handle, stop);
    return RESULT_ENDED;
  };
  if (data_handle == nullptr || *data_handle == '\0') {
    ACE_ERROR((LM_ERROR, "%D(%P|%t) In Qorrfc_Base_Request::handle_grp_bcompat. Invalid handle for lookup.\n"));
    return refuse();
  }
  Qorrfc_Handler_Ref data = Qorrfc_Handler_Registry::instance()->find(data_handle);
  if (!data) {
    ACE_ERROR((LM_ERROR, "%D(%P|%t) In Qorrfc_Base_Request::handle_grp_bcompat. Handle lookup failed.\n"));
    return refuse();
  }
  Qorrfc_Base_Handler *owner = data->request_handler();
  Qorrfc_Base_Request *target = owner ? owner->current_request() : nullptr;
  if (target == nullptr) return refuse();
  if (!target->bcfunc_) target->bcfunc_.reset(new Qorrfc_Grp_Bcompat_Cbf("BCFUNC", data.get()));
  return receive_and_answer(target, target->bcfunc_.get(), handle);
}

int Qorrfc_Base_Request::handle_system_info(RFC_HANDLE handle) {
  if (!ssi_) ssi_.reset(new Qorrfc_Ssi_Cbf("SSI"));
  return receive_lines_answer(this, ssi_.get(), handle, [&] {
    RFC_ATTRIBUTES attributes;
    ACE_OS::memset(&attributes, 0, sizeof attributes);
    RfcGetAttributes(handle, &attributes);
    const unsigned one = 1;
    bool little_endian = *reinterpret_cast<const unsigned char *>(&one) == 1;
    char line[511];
    ACE_OS::snprintf(line, sizeof line, "%s%s,%s,%s,%c,%s,%d,%s, ", ssi_->sysinfo(),
                     attributes.own_codepage, little_endian ? "LIT" : "BIG", "IE3", 'N',
                     qorrfc_options()->ns(), 1, attributes.pcs);
    send_line(line, ACE_OS::strlen(line));
  });
}

int Qorrfc_Base_Request::handle_mdata(RFC_HANDLE handle) {
  if (!mdata_) mdata_.reset(new Qorrfc_Mdata_Cbf("MDATA"));
  return receive_lines_answer(this, mdata_.get(), handle, [&] { send_table_lines(mdata_->mtab()); });
}

int Qorrfc_Base_Request::handle_genprog(RFC_HANDLE handle) {
  if (!genprog_) genprog_.reset(new Qorrfc_Genprog_Cbf("GENPROG"));
  return receive_lines_answer(this, genprog_.get(), handle, [&] { send_table_lines(genprog_->ltab()); });
}
