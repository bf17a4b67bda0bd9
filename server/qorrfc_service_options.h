// Settings that every platform shares, filled once from the command line
// on the main thread and read without locks afterwards.
#pragma once

#include <xercesc/util/XercesDefs.hpp>

XERCES_CPP_NAMESPACE_BEGIN
class XMLTranscoder;
XERCES_CPP_NAMESPACE_END

class Options {
 public:
  enum { MIN_BUFSIZE = 10000, DEFAULT_PORT = 6999, DEFAULT_BCOMPAT_PORT = 6995 };

  Options();
  virtual ~Options();
  Options(const Options &) = delete;
  Options &operator=(const Options &) = delete;

  int debug_level() const { return debug_level_; }
  void debug_level(int level) { debug_level_ = level; }
  int port() const { return port_; }
  void port(int p) { port_ = p; }
  int compat_port() const { return compat_port_; }
  void compat_port(int p) { compat_port_ = p; }
  int bcompat_port() const { return bcompat_port_; }
  void bcompat_port(int p) { bcompat_port_ = p; }
  int min_bufsize() const { return min_bufsize_; }
  void min_bufsize(int size) { min_bufsize_ = size; }
  char unlimited_dialog() const { return unlimited_dialog_; }

  // Text getters give "" for a field that was never set.
  const char *bparms() const { return text(bparms_); }
  const char *variant() const { return text(variant_); }
  const char *bcompat_variant() const { return text(bcompat_variant_); }
  const char *bcompat_report() const { return text(bcompat_report_); }
  const char *ns() const { return text(ns_); }

  // Variants and the namespace are stored upper-cased; the rest unchanged.
  void variant(const char *v) { store(variant_, v, true); }
  void bcompat_variant(const char *v) { store(bcompat_variant_, v, true); }
  void bcompat_report(const char *r) { store(bcompat_report_, r, false); }
  void ns(const char *n) { store(ns_, n, true); }

  // Stores the -b text and reads the batch-compatibility settings from it.
  void set_bparms(const char *text);
  // One character of 0nN (enforce the dialog row limit) or 1yY (do not);
  // returns -1 and changes nothing for anything else.
  int set_unlimited_dialog(const char *text);
  // Sets the process-wide log priority mask from debug_level.
  void apply_debug_level() const;

  // UTF-8 transcoder, created on first use; needs an initialised Xerces-C.
  XERCES_CPP_NAMESPACE::XMLTranscoder *utf8_transcoder();
  // Gives the transcoder back before Xerces-C is terminated.
  void release_utf8_transcoder();

 protected:
  static const char *text(const char *t) { return t ? t : ""; }
  static void store(char *&field, const char *value, bool upper);

 private:
  int debug_level_ = 0;
  int port_ = DEFAULT_PORT;
  int compat_port_ = 0;
  int bcompat_port_ = 0;
  int min_bufsize_ = MIN_BUFSIZE;
  char unlimited_dialog_ = ' ';
  char *bparms_ = nullptr;
  char *variant_ = nullptr;
  char *bcompat_variant_ = nullptr;
  char *bcompat_report_ = nullptr;
  char *ns_ = nullptr;
  XERCES_CPP_NAMESPACE::XMLTranscoder *utf8_transcoder_ = nullptr;
};
