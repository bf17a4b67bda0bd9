// A counted reference to a connection handler. A handler is deleted when
// its last reference goes, so a handler found in the registry stays alive
// for as long as the finder holds the reference, even if its connection
// closes meanwhile.
#pragma once

class Qorrfc_Base_Handler;

class Qorrfc_Handler_Ref {
 public:
  Qorrfc_Handler_Ref() = default;
  // Takes a new reference on handler (which must be alive now).
  explicit Qorrfc_Handler_Ref(Qorrfc_Base_Handler *handler);
  ~Qorrfc_Handler_Ref() { reset(); }
  Qorrfc_Handler_Ref(const Qorrfc_Handler_Ref &other);
  Qorrfc_Handler_Ref &operator=(const Qorrfc_Handler_Ref &other);
  Qorrfc_Handler_Ref(Qorrfc_Handler_Ref &&other) noexcept : handler_(other.handler_) {
    other.handler_ = nullptr;
  }
  Qorrfc_Handler_Ref &operator=(Qorrfc_Handler_Ref &&other) noexcept;

  Qorrfc_Base_Handler *get() const { return handler_; }
  Qorrfc_Base_Handler *operator->() const { return handler_; }
  explicit operator bool() const { return handler_ != nullptr; }
  // Gives the reference up (the handler may be deleted at once).
  void reset();

 private:
  Qorrfc_Base_Handler *handler_ = nullptr;
};
