#include "qorrfc_bcompat_handler.h"

// The acceptor instantiates the handler's templates; nothing else yet.
