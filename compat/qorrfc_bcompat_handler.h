// A connection on the batch-compatibility port. The commands are those of
// the dialog-compatibility protocol; what differs is what CCONNECT and
// DCONNECT do:
// - CCONNECT (logon connection L) calls the batch module, reports the
//   system and keeps where the background job will reach this server: the
//   gateway host and service, the program id and the job's name.
// - DCONNECT (request connection R) has the data connection D register at
//   that gateway, queues D's handle for the job, starts the job with a
//   second call of the batch module and waits until D's gateway loop ends.
// - D's worker serves the job's calls; the rows go to D, each followed by
//   the byte 0x01, and D is closed for sending after the last one.
//
// Threads: R's worker and D's worker meet only through the two signal
// semaphores (D's: registered or failed; R's: gateway loop ended). The
// gateway values of L are written by L's worker and read by the others
// under L's lock.
#pragma once

#include <string>

#include "qorrfc_bcompat_source.h"
#include "qorrfc_compat_handler.h"

class Qorrfc_Bcompat_Handler : public Qorrfc_Compat_Handler, public Qorrfc_Bcompat_Source {
 public:
  // Where a logon connection's background jobs call back.
  struct Gateway_Values {
    std::string job_name, prog_id, gw_host, gw_serv;
    char gw_flag = '\0';
  };

  Qorrfc_Bcompat_Handler();
  ~Qorrfc_Bcompat_Handler() override;

  // Called for CCONNECT: the batch module's system information and
  // gateway values.
  int process_cconnect() override;
  // Called for DCONNECT: the background job and the wait for its end.
  int rfc_process_dconnect() override;
  // Called by the worker for an empty MB_START block posted by the request
  // connection's DCONNECT: registers at the gateway and serves the job.
  int handle_batch() override;
  // Called on the request connection: rows of table, each followed by
  // 0x01 (n not 0) or 0x00, to its data connection in gathered writes.
  // Without a table and n < 0: -n zero bytes and 0xFF on this connection.
  int send_table(ITAB_H table, int n) override;

  // A copy of the values the last successful CCONNECT stored.
  Gateway_Values gateway_values() const;
  // The request connection's logon connection, when it is one of ours and
  // has not ended.
  Qorrfc_Bcompat_Handler *bcompat_logon() const;

  // What the job is told about the extraction (request connection) and
  // where it calls back (logon connection).
  const char *bcompat_table_name() const override { return table_name().c_str(); }
  const char *bcompat_record_length() const override { return record_length_text().c_str(); }
  const char *bcompat_form() const override { return form().c_str(); }
  ITAB_H bcompat_selection() const override { return where_table(); }
  const char *bcompat_gw_host() const override { return gw_host_; }
  const char *bcompat_gw_serv() const override { return gw_serv_; }
  const char *bcompat_prog_id() const override { return prog_id_; }

 private:
  enum { VALUE_LENGTH = 256 };

  // DCONNECT's checks of the three connections; the refusal, or null.
  const char *dconnect_refusal(Qorrfc_Bcompat_Handler *logon, Qorrfc_Base_Handler *data) const;
  // Waits on semaphore of the other connection; gives up when that one's
  // worker ends without posting it. When this worker is asked to stop
  // meanwhile (client gone, server stopping) the data connection's worker
  // is asked to stop too, so the job is told and the wait ends.
  bool wait_for(ACE_Semaphore &semaphore, Qorrfc_Base_Handler *poster,
                Qorrfc_Base_Handler *data);
  // DCONNECT after a registered data connection: queue, job, wait.
  void run_job(RFC_HANDLE handle, Qorrfc_Bcompat_Handler &logon, Qorrfc_Base_Handler &data);
  void store_gateway_values(RFC_HANDLE handle, const char *dest, const char *prog_id,
                            const char *gw_host, const char *gw_serv, char gw_flag);

  // Fixed arrays, not strings: another connection's worker may hold a
  // pointer into them while a later CCONNECT rewrites them.
  char job_name_[VALUE_LENGTH + 1] = "";
  char prog_id_[VALUE_LENGTH + 1] = "";
  char gw_host_[VALUE_LENGTH + 1] = "";
  char gw_serv_[VALUE_LENGTH + 1] = "";
  char gw_flag_ = '\0';
  mutable ACE_Thread_Mutex gateway_lock_;
};
