// What a batch-compatibility connection tells the extraction report about
// the extraction its client asked for. The batch-compatibility handler
// provides it; the reply descriptor reads it.
#pragma once

#include "saprfc.h"

class Qorrfc_Bcompat_Source {
 public:
  virtual ~Qorrfc_Bcompat_Source() = default;
  virtual const char *bcompat_table_name() const = 0;
  virtual const char *bcompat_record_length() const = 0;
  // "" when the client sent none.
  virtual const char *bcompat_form() const = 0;
  // The client's selection lines.
  virtual ITAB_H bcompat_selection() const = 0;
  // Of a batch-compatibility logon connection: where its background jobs
  // call back.
  virtual const char *bcompat_gw_host() const = 0;
  virtual const char *bcompat_gw_serv() const = 0;
  virtual const char *bcompat_prog_id() const = 0;
};
