// A link from a compatibility connection to another one that its client
// named by handle (CHANDLE, DHANDLE). The link holds a counted reference,
// so the object it points at stays valid, but it is followed only while
// that connection is still registered: once its worker has ended, the
// link leads nowhere. A link to the linking connection itself holds no
// reference (that would keep the connection alive for ever).
#pragma once

#include "qorrfc_handler_ref.h"

class Qorrfc_Compat_Link {
 public:
  // Links owner to target; target may be owner itself.
  void set(Qorrfc_Base_Handler *owner, Qorrfc_Handler_Ref target);
  // Gives the link up.
  void reset() { set(nullptr, Qorrfc_Handler_Ref()); }
  bool linked() const { return self_ != nullptr || static_cast<bool>(target_); }
  // The linked connection if it has not ended, else null.
  Qorrfc_Base_Handler *live() const;

 private:
  Qorrfc_Handler_Ref target_;
  Qorrfc_Base_Handler *self_ = nullptr;
};
