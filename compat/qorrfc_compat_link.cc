#include "qorrfc_compat_link.h"

#include "qorrfc_base_handler.h"
#include "qorrfc_handler_registry.h"

void Qorrfc_Compat_Link::set(Qorrfc_Base_Handler *owner, Qorrfc_Handler_Ref target) {
  if (owner != nullptr && target.get() == owner) {
    target_.reset();
    self_ = owner;
  } else {
    self_ = nullptr;
    target_ = std::move(target);
  }
}

Qorrfc_Base_Handler *Qorrfc_Compat_Link::live() const {
  if (self_) return self_;
  if (!target_) return nullptr;
  // Handles are unique among live connections, and the reference keeps
  // this object (and so its address) from being reused by a new one.
  Qorrfc_Handler_Ref now = Qorrfc_Handler_Registry::instance()->find(target_->handle());
  return now.get() == target_.get() ? target_.get() : nullptr;
}
