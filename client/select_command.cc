#include "select_command.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>

#include "progress_line.h"
#include "row_writer.h"
#include "select_session.h"
#include "server_report.h"

namespace qorclient {

namespace {

bool read_file(const std::string &name, std::string &text) {
  if (name == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    return true;
  }
  std::ifstream in(name, std::ios::binary);
  if (!in) return false;
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

int report(const SelectSession &session, bool verbose) {
  if (!session.errors().empty()) {
    bool at_logon = session.system_info().empty();
    ServerReport::print(session.errors(), at_logon ? "the logon failed" : "the extraction failed",
                        verbose);
    return kServerError;
  }
  ServerReport::print_failure(session.error());
  return kNoConnection;
}

}  // namespace

int select_command(const QorcliCommandLine &cl) {
  if (cl.logon.server_host.empty())
    return QorcliCommandLine::usage_error("select needs --server HOST:PORT");
  if (cl.xml_file.empty() == cl.select.table.empty())
    return QorcliCommandLine::usage_error("select needs either --table or --xml");
  std::string element;
  try {
    if (!cl.xml_file.empty()) {
      if (!read_file(cl.xml_file, element))
        return QorcliCommandLine::usage_error("cannot read " + cl.xml_file);
    } else {
      element = sselect_element(cl.select);
    }
  } catch (const std::invalid_argument &e) {
    return QorcliCommandLine::usage_error(e.what());
  }

  FILE *out = stdout;
  if (!cl.output.empty() && (out = std::fopen(cl.output.c_str(), "wb")) == nullptr) {
    std::perror(cl.output.c_str());
    return kUsage;
  }
  std::unique_ptr<RowWriter> writer = RowWriter::make(cl.format, out);
  SelectSession session(std::chrono::seconds(cl.timeout_seconds));
  ProgressLine progress(!cl.quiet);
  size_t width = 0;
  bool done = session.log_on(cl.logon) &&
              session.run(
                  element, cl.select.batch,
                  [&](const std::vector<FieldLayout> &fields, size_t w) {
                    width = w;
                    writer->begin(fields, w);
                  },
                  [&](const char *row) {
                    writer->row(row);
                    progress.update(session.rows(), session.rows() * width);
                  });
  progress.finish(session.rows(), session.rows() * width);
  bool written = std::fflush(out) == 0 && (out == stdout || std::fclose(out) == 0);
  if (!done) return report(session, cl.verbose);
  if (!written) {
    std::perror(cl.output.empty() ? "standard output" : cl.output.c_str());
    return kServerError;
  }
  return kDone;
}

}  // namespace qorclient
