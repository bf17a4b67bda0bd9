// A function request as a client builds and reads it: the function element
// with its parameters and tables (rows in base64), and the reply, where
// every "D,NAME,N" line on the request connection announces N records of
// NAME on the data connection, until "EOF".
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "main_session.h"

namespace qorclient {

struct FunctionParameter {
  std::string name;
  bool importing = false;  // paramclass I: the module gives it back
  bool binary = false;     // type B instead of C
  size_t intlen = 0;
  std::string value;       // exporting only; cut or blank-padded to intlen
};

struct FunctionTable {
  std::string name;
  size_t intlen = 0;
  std::vector<std::string> rows;  // each cut or blank-padded to intlen
  bool inputonly = false;
  std::string structure;  // with its field elements, when not empty
  std::string fields;     // field elements, as XML
};

struct FunctionCall {
  std::string name;
  std::vector<FunctionParameter> parameters;
  std::vector<FunctionTable> tables;

  // The function element (data="Y"), one line.
  std::string element(const std::string &chandle, const std::string &dhandle) const;
  // Row widths by name: importing parameters and tables.
  std::map<std::string, size_t> widths() const;
};

struct FunctionReply {
  std::vector<std::string> lines;   // text and E-lines, in order
  std::vector<std::pair<std::string, std::vector<std::string>>> data;  // NAME, rows
  bool eof = false;                 // "EOF" arrived
  std::string error;                // why reading stopped early

  bool failed() const;  // an E-line, or no "EOF"
};

// Reads the reply until "EOF" or until the request connection closes.
// widths gives the record width of each name a D line may announce
// (the name's trailing blanks do not count).
FunctionReply read_function_reply(MainSession &request, MainSession &data,
                                  const std::map<std::string, size_t> &widths);

std::string base64(const std::string &bytes);

}  // namespace qorclient
