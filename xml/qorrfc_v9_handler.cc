#include "qorrfc_v9_handler.h"

// The acceptor instantiates the handler's templates; nothing else yet.
