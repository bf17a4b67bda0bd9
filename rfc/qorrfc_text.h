// Small text operations on the fixed-width character fields that RFC
// parameters arrive in (blank-padded, not terminated).
#pragma once

#include <cstddef>

// Ends text at its first blank.
void qorrfc_cut_at_blank(char *text);
// Removes trailing blanks.
void qorrfc_trim(char *text);
// Terminates a field of width characters held in a buffer of width + 1.
inline void qorrfc_terminate(char *field, size_t width) { field[width] = '\0'; }
