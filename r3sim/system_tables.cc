#include "system_tables.h"

#include "table_spec.h"

namespace r3sim {

namespace {

const TableSpec kDd02l{"DD02L", "TRANSP", "Tables", {
    {"TABNAME", 'C', 30, 0, true, "Table name"},
    {"TABCLASS", 'C', 8, 0, false, "Table class: TRANSP, GENER, INTTAB"},
    {"GENROWS", 'I', 4, 0, false, "Generated table: row count"},
    {"GENWIDTH", 'I', 4, 0, false, "Generated table: row width in bytes"},
    {"CCLASS", 'C', 4, 0, false, "Authorisation group"},
    {"DDTEXT", 'C', 60, 0, false, "Short description"}}};

const TableSpec kDd03l{"DD03L", "TRANSP", "Table fields", {
    {"TABNAME", 'C', 30, 0, true, "Table name"},
    {"FIELDNAME", 'C', 30, 0, true, "Field name"},
    {"POSITION", 'N', 4, 0, false, "Position of the field"},
    {"INTTYPE", 'C', 1, 0, false, "ABAP data type"},
    {"INTLEN", 'I', 4, 0, false, "Internal length in bytes"},
    {"DECIMALS", 'I', 4, 0, false, "Decimal places"},
    {"KEYFLAG", 'C', 1, 0, false, "Key field"},
    {"DDTEXT", 'C', 60, 0, false, "Short description"}}};

const TableSpec kTables[] = {
    {"T000", "TRANSP", "Clients", {
        {"MANDT", 'C', 3, 0, true, "Client"},
        {"MTEXT", 'C', 25, 0, false, "Client name"},
        {"ORT01", 'C', 25, 0, false, "City"},
        {"MWAER", 'C', 5, 0, false, "Currency"}}},
    {"USR02", "TRANSP", "Logon data", {
        {"MANDT", 'C', 3, 0, true, "Client"},
        {"BNAME", 'C', 12, 0, true, "User name"},
        {"PASSWORD", 'C', 40, 0, false, "Password"},
        {"UFLAG", 'I', 4, 0, false, "Lock state: 0 open, 64 locked by administrator"},
        {"TABAUTH", 'C', 60, 0, false, "Table authorisation groups, * for all"}}, "SS"},
    {"VARID", "TRANSP", "Report variants", {
        {"REPORT", 'C', 40, 0, true, "Report"},
        {"VARIANT", 'C', 14, 0, true, "Variant"},
        {"RFCDEST", 'C', 32, 0, false, "RFC destination of the report's jobs"}}},
    {"RFCDES", "TRANSP", "RFC destinations", {
        {"RFCDEST", 'C', 32, 0, true, "Destination"},
        {"PROGID", 'C', 64, 0, false, "Registered program id"},
        {"GWHOST", 'C', 100, 0, false, "Gateway host, blank for this system"},
        {"GWSERV", 'C', 10, 0, false, "Gateway service, blank for this system"}}},
    {"TBTCO", "TRANSP", "Background jobs", {
        {"JOBCOUNT", 'C', 8, 0, true, "Job count"},
        {"JOBNAME", 'C', 32, 0, false, "Job name"},
        {"REPORT", 'C', 40, 0, false, "Report"},
        {"VARIANT", 'C', 14, 0, false, "Variant"},
        {"PROGID", 'C', 64, 0, false, "Program id the job calls"},
        {"SDLUNAME", 'C', 12, 0, false, "Scheduled by"},
        {"STATUS", 'C', 1, 0, false, "S released, R running, F finished, A aborted"},
        {"SDLSTRTDT", 'D', 8, 0, false, "Scheduled date"},
        {"SDLSTRTTM", 'T', 6, 0, false, "Scheduled time"},
        {"STRTDATE", 'D', 8, 0, false, "Start date"},
        {"STRTTIME", 'T', 6, 0, false, "Start time"},
        {"ENDDATE", 'D', 8, 0, false, "End date"},
        {"ENDTIME", 'T', 6, 0, false, "End time"}}},
    {"TBTCJOBLOG", "TRANSP", "Job log", {
        {"JOBCOUNT", 'C', 8, 0, true, "Job count"},
        {"LINENO", 'N', 6, 0, true, "Line"},
        {"ENTERDATE", 'D', 8, 0, false, "Date"},
        {"ENTERTIME", 'T', 6, 0, false, "Time"},
        {"TEXT", 'C', 200, 0, false, "Message"}}},
    {"ZSIM_CONFIG", "TRANSP", "Simulator configuration", {
        {"NAME", 'C', 30, 0, true, "Setting"},
        {"VALUE", 'C', 100, 0, false, "Value"}}},
    {"ZSIM_FAULTS", "TRANSP", "Faults on request", {
        {"FUNCNAME", 'C', 40, 0, false, "Module or report, * for any"},
        {"FAULT", 'C', 30, 0, false, "Fault kind"},
        {"ARG", 'C', 200, 0, false, "Argument"},
        {"NTH", 'I', 4, 0, false, "Number argument"},
        {"TIMES", 'I', 4, 0, false, "Times left, empty for always"}}},
    {"RFCSI", "INTTAB", "RFC system information", {
        {"RFCPROTO", 'C', 3, 0, false, "RFC protocol"},
        {"RFCCHARTYP", 'C', 4, 0, false, "Code page"},
        {"RFCINTTYP", 'C', 3, 0, false, "Integer format"},
        {"RFCFLOTYP", 'C', 3, 0, false, "Float format"},
        {"RFCDEST", 'C', 32, 0, false, "Destination"},
        {"RFCHOST", 'C', 8, 0, false, "Host"},
        {"RFCSYSID", 'C', 8, 0, false, "System id"},
        {"RFCDATABS", 'C', 8, 0, false, "Database"},
        {"RFCDBHOST", 'C', 32, 0, false, "Database host"},
        {"RFCDBSYS", 'C', 10, 0, false, "Database system"},
        {"RFCSAPRL", 'C', 4, 0, false, "Release"},
        {"RFCMACH", 'C', 5, 0, false, "Machine id"},
        {"RFCOPSYS", 'C', 10, 0, false, "Operating system"},
        {"RFCTZONE", 'C', 6, 0, false, "Time zone offset in seconds"},
        {"RFCDAYST", 'C', 1, 0, false, "Daylight saving time"},
        {"RFCIPADDR", 'C', 15, 0, false, "IP address"},
        {"RFCKERNRL", 'C', 4, 0, false, "Kernel release"},
        {"RFCHOST2", 'C', 32, 0, false, "Host, long form"},
        {"RFCSI_RESV", 'C', 12, 0, false, "Reserved"}}},
    {"RFCTEST", "INTTAB", "Structure of the RFC test modules", {
        {"RFCFLOAT", 'F', 8, 0, false, "Float"},
        {"RFCCHAR1", 'C', 1, 0, false, "One character"},
        {"RFCINT2", 's', 2, 0, false, "Two-byte integer"},
        {"RFCINT1", 'b', 1, 0, false, "One-byte integer"},
        {"RFCCHAR4", 'C', 4, 0, false, "Four characters"},
        {"RFCINT4", 'I', 4, 0, false, "Four-byte integer"},
        {"RFCHEX3", 'X', 3, 0, false, "Three bytes"},
        {"RFCCHAR2", 'C', 2, 0, false, "Two characters"},
        {"RFCTIME", 'T', 6, 0, false, "Time"},
        {"RFCDATE", 'D', 8, 0, false, "Date"},
        {"RFCDATA1", 'C', 50, 0, false, "Text"},
        {"RFCDATA2", 'C', 50, 0, false, "Text"}}},
};

void put_config(SqliteDb &db, const std::string &name, const std::string &value) {
  Stmt s = db.prepare("INSERT OR REPLACE INTO ZSIM_CONFIG (NAME, VALUE) VALUES (?, ?)");
  s.bind(1, name).bind(2, value).step();
}

}  // namespace

void create_system_tables(SqliteDb &db, const SystemSeed &seed) {
  // WAL: readers (sessions, jobs, tests) and one writer at a time, no waits.
  db.exec("PRAGMA journal_mode = WAL");
  Transaction tx(db);
  // The dictionary must exist before anything can be described in it.
  db.exec(
      "CREATE TABLE DD02L (TABNAME TEXT PRIMARY KEY, TABCLASS TEXT, GENROWS INTEGER, "
      "GENWIDTH INTEGER, CCLASS TEXT DEFAULT '', DDTEXT TEXT DEFAULT '');"
      "CREATE TABLE DD03L (TABNAME TEXT, FIELDNAME TEXT, POSITION TEXT, INTTYPE TEXT, "
      "INTLEN INTEGER, DECIMALS INTEGER DEFAULT 0, KEYFLAG TEXT DEFAULT '', "
      "DDTEXT TEXT DEFAULT '', PRIMARY KEY (TABNAME, FIELDNAME))");
  describe_table(db, kDd02l);
  describe_table(db, kDd03l);
  for (const auto &t : kTables) define_table(db, t);

  db.exec(
      "INSERT INTO T000 VALUES ('000', 'Reference client', 'Walldorf', 'EUR');"
      "INSERT INTO T000 VALUES ('800', 'Demo client', 'Springfield', 'USD');"
      "INSERT INTO USR02 VALUES ('800', 'DEMO', 'welcome1', 0, '');"
      "INSERT INTO USR02 VALUES ('800', 'LOCKED', 'welcome1', 64, '');"
      "INSERT INTO USR02 VALUES ('000', 'ADMIN', 'admin001', 0, '*');");
  put_config(db, "SYSID", seed.sysid);
  put_config(db, "HOST", seed.host);
  put_config(db, "SYSNR", seed.sysnr);
  put_config(db, "RELEASE", "46C");
  put_config(db, "KERNEL_RELEASE", "46D");
  put_config(db, "TZONE", "3600");
  put_config(db, "DAYST", "");
  put_config(db, "OPSYS", "Linux");
  put_config(db, "DBSYS", "SQLITE");
  put_config(db, "MACHINE", "324");
  tx.commit();
}

void ensure_batch_setup(SqliteDb &db, const std::string &ns) {
  Stmt v = db.prepare("INSERT OR IGNORE INTO VARID (REPORT, VARIANT, RFCDEST) VALUES (?, ?, ?)");
  v.bind(1, ns + "Z_QOR_READ").bind(2, std::string("QORBATCH")).bind(3, std::string("QORRFC"));
  v.step();
  v.reset();
  v.bind(1, std::string("ZQORRDBT")).bind(2, std::string("MYVAR1")).bind(3, std::string("QORRFCB"));
  v.step();
  v.reset();
  v.bind(1, std::string("ZSIM_ECHO")).bind(2, std::string("ECHO")).bind(3, std::string("ZSIMECHO"));
  v.step();
  // Blank gateway host and service: the simulator itself, wherever it listens.
  db.exec(
      "INSERT OR IGNORE INTO RFCDES VALUES ('QORRFC', 'QORRFC', '', '');"
      "INSERT OR IGNORE INTO RFCDES VALUES ('QORRFCB', 'QORRFCB', '', '');"
      "INSERT OR IGNORE INTO RFCDES VALUES ('ZSIMECHO', 'ZSIMECHO', '', '')");
}

}  // namespace r3sim
