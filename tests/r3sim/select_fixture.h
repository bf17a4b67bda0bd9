// What the select-flow tests share: an r3sim process, the driver that
// plays the server, and a direct read of the database laid out as records,
// to compare the module's rows with.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "abap_field.h"
#include "r3sim_process.h"
#include "select_driver.h"

namespace r3simtest {

class SelectTest : public ::testing::Test {
 protected:
  SelectTest() : driver_(sim_) {}

  // The rows of sql, run on the database file, laid out as records of
  // the given fields (dictionary fields of table, by name).
  std::vector<std::string> direct(const std::string &sql, const std::string &table,
                                  const std::vector<std::string> &fields);
  std::vector<std::string> direct(const std::string &sql,
                                  const std::vector<r3sim::AbapField> &fields);
  // DETAIL of the call-log rows of a kind and function, oldest first,
  // with their RESULT after a '|'.
  std::vector<std::string> logged(const std::string &kind, const std::string &function);
  // The SQL of the statements the module ran, oldest first.
  std::vector<std::string> statements();

  R3simProcess sim_;
  SelectDriver driver_;
};

}  // namespace r3simtest
