// The system's identity as RFC_SYSTEM_INFO reports it (RFCSI_EXPORT, 200
// characters), also sent by the QOR transport's connect flow.
#pragma once

#include <string>

#include "call.h"

namespace r3sim {

// Read from the configuration at every call, so tests may change it.
std::string rfcsi_export(Call &call);

}  // namespace r3sim
