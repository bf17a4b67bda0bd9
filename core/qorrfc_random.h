// Bytes from the operating system's random source, for handles that other
// clients must not guess (unix_ and nt_ variants).
#pragma once

#include <cstddef>

// Fills n bytes; 0, or -1 when the system has no random bytes to give.
int qorrfc_random_bytes(unsigned char *out, std::size_t n);
