#include "qorrfc_text.h"

#include <cstring>

void qorrfc_cut_at_blank(char *text) {
  char *blank = std::strchr(text, ' ');
  if (blank) *blank = '\0';
}

void qorrfc_trim(char *text) {
  size_t n = std::strlen(text);
  while (n > 0 && text[n - 1] == ' ') text[--n] = '\0';
}
