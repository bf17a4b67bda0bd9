/*
 * Classic RFC client and registered-server API.
 *
 * This header declares the calls, types and constants of the classic RFC
 * library API with their customary names and values, so that the server can
 * be built either against this project's own library (the default) or
 * against the vendor's SDK. Only the non-Unicode form is offered.
 *
 * Thread safety: a handle is used by one thread at a time; different handles
 * may be used by different threads at once. Global state (the type registry,
 * the per-thread last-error records) is thread-safe.
 *
 * The header keeps to the vendor's shape wherever a program could come to
 * rely on it, so that a file that compiles against it also compiles against
 * the SDK: it does not pull in sapitab.h (a user of the It* calls includes
 * that header itself), its structures and enumerations are untagged typedefs
 * (no forward declarations possible), and every call carries the calling
 * convention macro.
 */
#ifndef QORRFC_SAPRFC_H
#define QORRFC_SAPRFC_H

#ifdef __cplusplus
extern "C" {
#endif

/* Calling convention of the library's calls and of callback pointers: the
 * standard call convention on Windows, the platform's default elsewhere. */
#ifndef SAP_API
#if defined(_WIN32)
#define SAP_API __stdcall
#else
#define SAP_API
#endif
#endif
#ifndef DLL_CALL_BACK_FUNCTION
#define DLL_CALL_BACK_FUNCTION SAP_API
#endif

/* The table handle, when sapitab.h has not declared it already. */
#ifndef SAPITAB_H
typedef void *ITAB_H;
#endif

typedef unsigned RFC_HANDLE;
#define RFC_HANDLE_NULL 0

typedef unsigned RFC_TYPEHANDLE;
typedef int RFC_INT;
typedef char rfc_char_t;
typedef char RFC_CHAR;
typedef RFC_CHAR RFC_FUNCTIONNAME[31];
typedef unsigned char RFC_BYTE;
/* Identifies a structure type installed with RfcInstallUnicodeStructure. */
typedef RFC_BYTE RFC_STRUCT_TYPE_ID[16];

typedef enum {
  RFC_OK = 0,
  RFC_FAILURE = 1,
  RFC_EXCEPTION = 2,
  RFC_SYS_EXCEPTION = 3,
  RFC_CALL = 4,
  RFC_INTERNAL_COM = 5,
  RFC_CLOSED = 6,
  RFC_RETRY = 7,
  RFC_NO_TID = 8,
  RFC_EXECUTED = 9,
  RFC_SYNCHRONIZE = 10,
  RFC_MEMORY_INSUFFICIENT = 11,
  RFC_VERSION_MISMATCH = 12,
  RFC_NOT_FOUND = 13,
  RFC_CALL_NOT_SUPPORTED = 14,
  RFC_NOT_OWNER = 15,
  RFC_NOT_INITIALIZED = 16,
  RFC_SYSTEM_CALLED = 17,
  RFC_INVALID_HANDLE = 18,
  RFC_INVALID_PARAMETER = 19,
  RFC_CANCELED = 20,
  RFC_CONVERSION = 21,
  RFC_INVALID_PROTOCOL = 22,
  RFC_TIMEOUT = 23
} RFC_RC;

/* Type codes of parameters, table rows and structure elements. */
typedef enum {
  RFCTYPE_CHAR = 0,
  RFCTYPE_DATE = 1,
  RFCTYPE_BCD = 2,
  RFCTYPE_TIME = 3,
  RFCTYPE_BYTE = 4,
  RFCTYPE_ITAB = 5,
  RFCTYPE_NUM = 6,
  RFCTYPE_FLOAT = 7,
  RFCTYPE_INT = 8,
  RFCTYPE_INT2 = 9,
  RFCTYPE_INT1 = 10,
  RFCTYPE_DATE_1 = 12,
  RFCTYPE_DATE_2 = 13
} RFCTYPE;

typedef enum {
  RFC_ITMODE_BYREFERENCE = 0,
  RFC_ITMODE_BYVALUE = 1,
  RFC_ITMODE_KEEPALIVE = 2
} RFC_ITMODE;

/* One exporting or importing parameter; a list ends with name == NULL. */
typedef struct {
  char *name;
  unsigned nlen;
  RFC_TYPEHANDLE type;
  unsigned leng;
  void *addr;
} RFC_PARAMETER;

/* One table parameter; a list ends with name == NULL. */
typedef struct {
  char *name;
  unsigned nlen;
  RFC_TYPEHANDLE type;
  unsigned leng; /* row width in bytes */
  ITAB_H ithandle;
  RFC_ITMODE itmode;
  int newitab;
} RFC_TABLE;

typedef struct {
  char *name;
  RFC_TYPEHANDLE type;
  unsigned length;
  unsigned decimals;
  unsigned _not_used;
} RFC_TYPE_ELEMENT;

typedef struct {
  char *name;
  RFC_TYPEHANDLE type;
  unsigned length;
  unsigned decimals;
  unsigned offset; /* of the element in the row, in bytes */
} RFC_TYPE_ELEMENT2;

typedef struct {
  char *name;
  RFC_TYPEHANDLE type;
  unsigned decimals;
  unsigned c1_length;
  unsigned c1_offset;
  unsigned c2_length;
  unsigned c2_offset;
  unsigned c4_length;
  unsigned c4_offset;
} RFC_UNICODE_TYPE_ELEMENT;

typedef enum {
  RFC_ERROR_PROGRAM = 101,
  RFC_ERROR_COMMUNICATION = 102,
  RFC_ERROR_LOGON_FAILURE = 103,
  RFC_ERROR_SYSTEM_FAILURE = 104,
  RFC_ERROR_APPLICATION_EXCEPTION = 105,
  RFC_ERROR_RESOURCE = 106,
  RFC_ERROR_PROTOCOL = 107,
  RFC_ERROR_INTERNAL = 108,
  RFC_ERROR_CANCELLED = 109,
  RFC_ERROR_BUSY = 110
} RFC_ERROR_GROUP;

typedef struct {
  RFC_ERROR_GROUP group;
  char key[33];
  char message[513];
} RFC_ERROR_INFO_EX;

typedef struct {
  char dest[64 + 1];
  char own_host[100 + 1];
  char partner_host[100 + 1];
  char systnr[2 + 1];
  char sysid[8 + 1];
  char client[3 + 1];
  char user[12 + 1];
  char language[1 + 1];
  char trace;
  char ISO_language[2 + 1];
  char own_codepage[4 + 1];
  char partner_codepage[4 + 1];
  char rfc_role;
  char own_type;
  char own_rel[4 + 1];
  char partner_type;
  char partner_rel[4 + 1];
  char kernel_rel[4 + 1];
  char CPIC_convid[9];
  char password_sate;
  char own_codepage_pcs[4 + 1];
  char pcs[1 + 1]; /* partner bytes per character: '1' or '2' */
  char real_partner_codepage[4 + 1];
  char progname[40 + 1];
  char reserved[161];
} RFC_ATTRIBUTES;

void SAP_API RfcInit(void);
RFC_RC SAP_API RfcGetAllLibVersions(char *buffer, int length);

RFC_HANDLE SAP_API RfcOpenEx(char *connect_param, RFC_ERROR_INFO_EX *error_info);
void SAP_API RfcClose(RFC_HANDLE handle);
int SAP_API RfcGetAttributes(RFC_HANDLE handle, RFC_ATTRIBUTES *attributes);
int SAP_API RfcLastErrorEx(RFC_ERROR_INFO_EX *error_info);

RFC_HANDLE SAP_API RfcAccept(char **argv);
RFC_RC SAP_API RfcCheckRegisterServer(char *progid, char *gwhost, char *gwserv,
                                      RFC_INT *ntotal, RFC_INT *ninit, RFC_INT *nready,
                                      RFC_INT *nbusy, RFC_ERROR_INFO_EX *error_info);
RFC_RC SAP_API RfcWaitForRequest(RFC_HANDLE handle, RFC_INT seconds);
RFC_RC SAP_API RfcGetName(RFC_HANDLE handle, RFC_FUNCTIONNAME function);

RFC_RC SAP_API RfcCall(RFC_HANDLE handle, char *function, RFC_PARAMETER *exporting,
                       RFC_TABLE *tables);
RFC_RC SAP_API RfcReceive(RFC_HANDLE handle, RFC_PARAMETER *importing,
                          RFC_TABLE *tables, char **exception);
RFC_RC SAP_API RfcCallReceive(RFC_HANDLE handle, char *function,
                              RFC_PARAMETER *exporting, RFC_PARAMETER *importing,
                              RFC_TABLE *tables, char **exception);
RFC_RC SAP_API RfcGetData(RFC_HANDLE handle, RFC_PARAMETER *importing,
                          RFC_TABLE *tables);
RFC_RC SAP_API RfcSendData(RFC_HANDLE handle, RFC_PARAMETER *exporting,
                           RFC_TABLE *tables);
RFC_RC SAP_API RfcRaise(RFC_HANDLE handle, char *exception);
RFC_RC SAP_API RfcRaiseTables(RFC_HANDLE handle, char *exception, RFC_TABLE *tables);

RFC_RC SAP_API RfcInstallStructure(char *name, RFC_TYPE_ELEMENT *elements,
                                   unsigned entries, RFC_TYPEHANDLE *pTypeHandle);
RFC_RC SAP_API RfcInstallStructure2(char *name, RFC_TYPE_ELEMENT2 *elements,
                                    unsigned entries, RFC_TYPEHANDLE *pTypeHandle);
RFC_RC SAP_API RfcInstallUnicodeStructure(char *name,
                                          RFC_UNICODE_TYPE_ELEMENT *elements,
                                          unsigned entries, unsigned flag,
                                          RFC_STRUCT_TYPE_ID id,
                                          RFC_TYPEHANDLE *pTypeHandle);

#ifdef __cplusplus
}
#endif

#endif
