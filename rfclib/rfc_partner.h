/*
 * Partner side of this library's RFC protocol: the application server,
 * gateway and message server that a simulated R/3 system (r3sim) and the
 * tests host in their own process.
 *
 * This is not part of the vendor's API and the server never includes it.
 *
 * One RFCP_SERVER accepts, on each port it listens on, three kinds of
 * connection, told apart by their first frame:
 *   - logons of RFC clients (RfcOpenEx): the logon is checked by the host's
 *     callback, then the session runs on a thread of its own in the host's
 *     session callback, with a handle in the server role;
 *   - registrations of RFC server programs (RfcAccept): kept per program id
 *     with their state (initialising, ready, busy) and handed to the host
 *     by RfcpGatewayOpen; RfcCheckRegisterServer queries are answered here;
 *   - message-server queries (RfcOpenEx with MSHOST/R3NAME/GROUP): answered
 *     with the address of this server's first listener, or the host's
 *     choice.
 *
 * A session handle in the server role behaves like a registered server's
 * handle: RfcWaitForRequest waits for the client's next call (RFC_OK) or
 * reports the end of the session (RFC_CLOSED, RFC_FAILURE); RfcGetName,
 * RfcGetData, RfcSendData, RfcRaise and RfcRaiseTables serve the pending
 * call; while it is pending, RfcCall/RfcReceive call the client back, to any
 * depth.
 */
#ifndef QORRFC_RFC_PARTNER_H
#define QORRFC_RFC_PARTNER_H

#include "saprfc.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct RFCP_SERVER RFCP_SERVER;

/* What a client sent with its logon. */
typedef struct RFCP_LOGON {
  char client[3 + 1];
  char user[12 + 1];
  char password[40 + 1];
  char language[2 + 1];
  char client_host[100 + 1]; /* peer address of the client's connection */
  char progname[40 + 1];
} RFCP_LOGON;

/* What clients learn of the system through RfcGetAttributes. */
typedef struct RFCP_SYSTEM {
  char sysid[8 + 1];
  char systnr[2 + 1];
  char host[100 + 1];
  char codepage[4 + 1]; /* "1100" for a non-Unicode system */
  char pcs[1 + 1];      /* bytes per character: "1" or "2" */
  char release[4 + 1];
  char kernel_release[4 + 1];
} RFCP_SYSTEM;

typedef struct RFCP_CALLBACKS {
  /* Called on the session's thread when a client logs on. Return 0 to
     accept; otherwise fill the error record (group, key, message with
     lines joined by '\n'), which the client receives from RfcOpenEx or
     its first call. */
  int (*check_logon)(void *ctx, const RFCP_LOGON *logon,
                     RFC_ERROR_INFO_EX *error);
  /* Runs an accepted session on a thread of its own; the library closes
     the handle when the function returns. */
  void (*session)(void *ctx, RFC_HANDLE handle, const RFCP_LOGON *logon);
  /* Optional: may refuse a registration (return non-zero and fill the
     error record, typically group 102 with "ERROR registration of tp <id>
     from host <h> not allowed"). */
  int (*check_registration)(void *ctx, const char *progid,
                            const char *client_host, RFC_ERROR_INFO_EX *error);
  /* Optional: chooses the application server for a message-server query;
     return 0 with host and port filled, non-zero to answer "not found". */
  int (*message_server)(void *ctx, const char *r3name, const char *group,
                        char *host, unsigned host_size, int *port);
} RFCP_CALLBACKS;

/* Creates a server; nothing listens until RfcpServerListen. The callbacks
   and ctx must stay valid until RfcpServerDestroy has returned. */
RFCP_SERVER *RfcpServerCreate(const RFCP_CALLBACKS *callbacks, void *ctx,
                              const RFCP_SYSTEM *system);

/* Listens on host:port (port 0 picks a free one). Returns 0 and the port
   actually bound, or -1 with errno set. May be called more than once. */
int RfcpServerListen(RFCP_SERVER *server, const char *host, int port,
                     int *bound_port);

/* Stops accepting, ends every session and registration (their partners see
   the connection close), waits for the session threads and frees the
   server. Must not be called from a session thread. */
void RfcpServerDestroy(RFCP_SERVER *server);

/* Gateway: opens a client-role handle to the oldest ready program
   registered under progid. The registration is busy until RfcClose on the
   returned handle, which gives it back (the registered program's handle
   stays open and waits for the next call). Returns RFC_HANDLE_NULL and fills
   the error record (group 102, "program <progid> not registered") when no
   registration is ready. */
RFC_HANDLE RfcpGatewayOpen(RFCP_SERVER *server, const char *progid,
                           RFC_ERROR_INFO_EX *error);

/* Gateway: counts the registrations under progid, by state. */
void RfcpGatewayCount(RFCP_SERVER *server, const char *progid, int *ninit,
                      int *nready, int *nbusy);

/* Answers the pending call with a system failure: the caller's receive
   returns RFC_SYS_EXCEPTION with this record, and the session is broken
   (the library closes it once the answer is sent). */
RFC_RC RfcpSystemFailure(RFC_HANDLE handle, const RFC_ERROR_INFO_EX *error);

/* Drops the connection behind a handle at once, with no closing frame, as a
   crashed partner would. The handle must still be closed with RfcClose. */
void RfcpDrop(RFC_HANDLE handle);

#ifdef __cplusplus
}
#endif

#endif
