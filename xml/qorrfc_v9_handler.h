// A connection on the main port (the XML request protocol). It greets the
// client with the 130-byte handle record of the base class.
#pragma once

#include "qorrfc_base_handler.h"

class Qorrfc_V9_Handler : public Qorrfc_Base_Handler {};
