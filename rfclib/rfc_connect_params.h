// Connect parameters: the connect string of RfcOpenEx, saprfc.ini entries,
// router strings and service names.
#pragma once

#include <map>
#include <string>

namespace rfcl {

// Keys in upper case; values as written.
using Params = std::map<std::string, std::string>;

// Parses "KEY=value KEY2=\"a value\" ..."; false with why on an unclosed quote.
bool parse_connect_string(const char *text, Params &out, std::string &why);

// Reads the entry DEST=dest of the saprfc.ini named by RFC_INI (or
// ./saprfc.ini) into out; false with why when file or entry is missing.
bool read_ini_entry(const std::string &dest, Params &out, std::string &why);

// Fills parameters from the connect string's DEST entry; explicit
// parameters of the connect string win.
bool apply_dest(Params &p, std::string &why);

// A port from a service text: a number, sapgwNN (3300 + NN) or sapmsXXX
// (3600); -1 when not understood.
int service_port(const std::string &service);

// Splits a router string "/H/host/S/port/H/host2..." into the last host and
// the port given after it (0 when none). A plain host is returned as is.
void split_router(const std::string &text, std::string &host, int &port);

std::string get(const Params &p, const std::string &key, const std::string &fallback = "");

}  // namespace rfcl
