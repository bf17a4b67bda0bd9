#include "command_help.h"

#include <map>

namespace qorclient {

namespace {

const char kLogon[] =
    "Logon options:\n"
    "  --server HOST:PORT   the server's port\n"
    "  --dest NAME          the logon options of destination NAME in the\n"
    "                       destinations file ($QORCLI_DESTINATIONS, else\n"
    "                       ~/.config/qorcli/destinations); options given win\n"
    "  --ashost H --sysnr NN --gwserv P   the R/3 system\n"
    "  --client C --user U --lang L       the logon\n"
    "  --password-file F    the password is the first line of F (a private file)\n"
    "  --password P         the password; the least safe way, other users of\n"
    "                       the machine see it. Without either, qorcli takes\n"
    "                       $QORCLI_PASSWORD, the destination's, or asks on\n"
    "                       the terminal\n"
    "  --plain-password     send the password as it is (default: encoded)\n"
    "  --timeout SECONDS    longest wait for a reply (default 60)\n"
    "  -v, --verbose        print the server's error lines in full\n";

const char kExit[] =
    "An RFC error the server reports is summed up in one sentence on standard\n"
    "error (-v prints its lines as they came); other errors are printed as\n"
    "they came. Exit status: 0 done, 1 the server reported an error, 2 bad\n"
    "command line, 3 no connection or no reply.\n";

std::string with_common(const char *own) { return std::string(own) + "\n" + kLogon + "\n" + kExit; }

const std::map<std::string, std::string> &texts() {
  static const std::map<std::string, std::string> t = {
      {"", with_common("usage: qorcli COMMAND [options] [arguments]\n"
                       "A client for the server's protocols.\n"
                       "\n"
                       "Commands:\n"
                       "  info              log on and print the system information\n"
                       "  select            extract rows of a table or of any select element\n"
                       "  call              call a function module, print its values and tables\n"
                       "  compat            extract through the dialog-compatibility port\n"
                       "  encode-password   print the hexadecimal text that carries a password\n"
                       "\n"
                       "qorcli COMMAND --help shows a command's own options;\n"
                       "qorcli --version prints the version.\n")},
      {"info", with_common("usage: qorcli info --server HOST:PORT [logon options]\n"
                           "                   [--labels | --raw | --json]\n"
                           "Logs on to R/3 through the server and prints the system information\n"
                           "the server answers with.\n"
                           "\n"
                           "  --labels             one labelled field a line (the default on a\n"
                           "                       terminal)\n"
                           "  --raw                the line exactly as it came (the default\n"
                           "                       otherwise)\n"
                           "  --json               the fields as one JSON object\n")},
      {"select",
       with_common("usage: qorcli select --server HOST:PORT [logon options] --table T\n"
                   "                     [--fields F1,F2,...] [--where COND] [select options]\n"
                   "       qorcli select --server HOST:PORT [logon options] --xml FILE\n"
                   "                     [select options]\n"
                   "Extracts rows and writes them decoded by the field descriptions.\n"
                   "\n"
                   "  --table T            the table to read\n"
                   "  --fields F1,F2       its fields (default: all)\n"
                   "  --where COND         an Open SQL condition, e.g. \"CARRID EQ 'LH'\"\n"
                   "  --xml FILE           any sselect, nselect or gselect element instead\n"
                   "                       ('-' = standard input)\n"
                   "Select options:\n"
                   "  --batch              run the extraction as an R/3 background job\n"
                   "  --format F           csv (a header line first; the default), json (one\n"
                   "                       object per line) or raw (the records unchanged)\n"
                   "  --output FILE        the rows go there instead of standard output\n"
                   "  --quiet              no progress line on a terminal\n")},
      {"call",
       with_common("usage: qorcli call --server HOST:PORT [logon options] FM\n"
                   "                   [--param NAME[:LEN]=VALUE]... [--import NAME:LEN[:B]]...\n"
                   "                   [--table NAME[:LEN]=FILE]... [--result NAME:LEN]...\n"
                   "Calls function module FM through the server and prints the values it\n"
                   "gives back and the tables it returns.\n"
                   "\n"
                   "  --param NAME[:LEN]=VALUE  a character value FM receives (LEN: its\n"
                   "                       length, default the value's)\n"
                   "  --import NAME:LEN[:B] a value FM gives back (B: bytes, printed in\n"
                   "                       hexadecimal)\n"
                   "  --table NAME[:LEN]=FILE   the lines of FILE as the rows of a table\n"
                   "                       (LEN: the row width, default the longest line)\n"
                   "  --result NAME:LEN    a table FM fills or sends in chunks, rows of LEN\n")},
      {"compat",
       with_common("usage: qorcli compat --server HOST:PORT [logon options] --table T\n"
                   "                     --length N [--where COND] [--batch]\n"
                   "Extracts through the dialog-compatibility port (--server names that\n"
                   "port) and prints each record of N bytes on a line of its own.\n"
                   "\n"
                   "  --table T            the table to read\n"
                   "  --length N           the record length (1 to 99999999)\n"
                   "  --where COND         an Open SQL condition\n"
                   "  --batch              --server names the batch-compatibility port\n")},
      {"encode-password", "usage: qorcli encode-password [PASSWORD]\n"
                          "Prints the hexadecimal text that carries PASSWORD to the server\n"
                          "(the value of the connect element's xpasswd attribute). Without\n"
                          "PASSWORD it takes $QORCLI_PASSWORD or asks on the terminal.\n"
                          "\n" +
                              std::string(kExit)},
  };
  return t;
}

}  // namespace

const char *command_help(const std::string &command) {
  auto it = texts().find(command);
  return it == texts().end() ? nullptr : it->second.c_str();
}

}  // namespace qorclient
