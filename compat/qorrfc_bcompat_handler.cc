#include "qorrfc_bcompat_handler.h"

#include <ace/Guard_T.h>
#include <ace/Log_Msg.h>
#include <ace/OS_NS_string.h>


#include "qorrfc_gather_writer.h"
#include "sapitab.h"

namespace {

// The text up to its first blank, at most n characters.
void copy_first_word(char *out, size_t size, const char *text, size_t n) {
  size_t i = 0;
  while (i < n && i + 1 < size && text[i] != '\0' && text[i] != ' ') {
    out[i] = text[i];
    ++i;
  }
  out[i] = '\0';
}

}  // namespace

Qorrfc_Bcompat_Handler::Qorrfc_Bcompat_Handler() : Qorrfc_Compat_Handler("Z_QOR_BATCH_V8COMPAT") {}

Qorrfc_Bcompat_Handler::~Qorrfc_Bcompat_Handler() {
  ACE_DEBUG((LM_TRACE, "%D(%P|%t) Entering Qorrfc_Bcompat_Handler destructor\n"));
  ACE_DEBUG((LM_TRACE, "%D(%P|%t) Leaving Qorrfc_Bcompat_Handler destructor\n"));
}

void Qorrfc_Bcompat_Handler::store_gateway_values(RFC_HANDLE handle, const char *dest,
                                                  const char *prog_id, const char *gw_host,
                                                  const char *gw_serv, char gw_flag) {
  ACE_GUARD(ACE_Thread_Mutex, guard, gateway_lock_);
  copy_first_word(job_name_, sizeof job_name_, dest, VALUE_LENGTH);
  copy_first_word(prog_id_, sizeof prog_id_, prog_id, VALUE_LENGTH);
  copy_first_word(gw_host_, sizeof gw_host_, gw_host, VALUE_LENGTH);
  copy_first_word(gw_serv_, sizeof gw_serv_, gw_serv, VALUE_LENGTH);
  gw_flag_ = gw_flag;
  if (gw_flag == 'X') return;
  // The job then calls through the gateway of the application server this
  // logon reached, which R/3 did not name.
  RFC_ATTRIBUTES attributes;
  ACE_OS::memset(&attributes, 0, sizeof attributes);
  if (RfcGetAttributes(handle, &attributes) == 0)
    copy_first_word(gw_host_, sizeof gw_host_, attributes.partner_host,
                    sizeof attributes.partner_host);
}

Qorrfc_Bcompat_Handler::Gateway_Values Qorrfc_Bcompat_Handler::gateway_values() const {
  Gateway_Values values;
  ACE_GUARD_RETURN(ACE_Thread_Mutex, guard, gateway_lock_, values);
  values.job_name = job_name_;
  values.prog_id = prog_id_;
  values.gw_host = gw_host_;
  values.gw_serv = gw_serv_;
  values.gw_flag = gw_flag_;
  return values;
}

Qorrfc_Bcompat_Handler *Qorrfc_Bcompat_Handler::bcompat_logon() const {
  return dynamic_cast<Qorrfc_Bcompat_Handler *>(live_logon_link());
}

int Qorrfc_Bcompat_Handler::send_table(ITAB_H table, int n) {
  // The end record is the base's; this protocol has no error record.
  if (table == ITAB_NULL) return n < 0 ? Qorrfc_Base_Handler::send_table(table, n) : 0;
  unsigned rows = ItFill(table);
  if (rows == 0) return 0;
  size_t width = ItLeng(table);
  if (row_width() == 0) row_width(static_cast<int>(width));
  Qorrfc_Base_Handler *data = live_data_link();
  if (data == nullptr) return -1;
  // The rows stay in the table; only the flag bytes are this call's.
  char flag = n != 0 ? 1 : 0;
  Qorrfc_Gather_Writer writer(data->peer().get_handle());
  for (unsigned i = 1; i <= rows; ++i) {
    const void *row = ItGetLine(table, i);
    if (row == nullptr || writer.add_record(row, width, width, flag) == -1) return -1;
  }
  return writer.flush();
}
