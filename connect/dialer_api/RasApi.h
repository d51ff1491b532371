#pragma once

/*
 * C interface of the remote access library librasapi32.so, shared by the
 * dialer of the program (connect/RasDialer) and the library itself
 * (platform/rasapi32). The program loads the library at run time by its bare
 * name and looks the six functions up with dlsym; the program works without it.
 *
 * Record sizes are fixed and carried in each record's size field:
 *   RASDIALPARAMS  1052 bytes
 *   RASCONNSTATUS   160 bytes
 *   RASCONN         412 bytes
 * so a connection handle is a 32-bit number (0 = none), on every platform.
 * Strings are NUL-terminated UTF-8 bytes. Every function returns 0 on success
 * or one of the RAS error numbers below.
 *
 * Plain C, usable from C and C++.
 */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* File name the program passes to dlopen. */
#define RASAPI_LIBRARY_NAME "librasapi32.so"

/* Buffer sizes, each including the terminating NUL. */
#define RAS_MaxEntryName 256
#define RAS_MaxPhoneNumber 128
#define RAS_MaxCallbackNumber 128
#define RAS_MaxDeviceType 16
#define RAS_MaxDeviceName 128
#define RAS_UNLEN 256
#define RAS_PWLEN 256
#define RAS_DNLEN 15
/* Size of the buffer the program gives RasGetErrorStringA. */
#define RAS_ErrorStringBuffer 256

typedef uint32_t HRASCONN; /* 0 = no connection */

/* Connection states (RASCONNSTATUS.rasconnstate, notifier argument). */
typedef enum RASCONNSTATE {
    RASCS_OpenPort = 0,
    RASCS_PortOpened = 1,
    RASCS_ConnectDevice = 2,
    RASCS_DeviceConnected = 3,
    RASCS_AllDevicesConnected = 4,
    RASCS_Authenticate = 5,
    RASCS_AuthNotify = 6,
    RASCS_AuthRetry = 7,
    RASCS_AuthCallback = 8,
    RASCS_AuthChangePassword = 9,
    RASCS_AuthProject = 10,
    RASCS_AuthLinkSpeed = 11,
    RASCS_AuthAck = 12,
    RASCS_ReAuthenticate = 13,
    RASCS_Authenticated = 14,
    RASCS_PrepareForCallback = 15,
    RASCS_WaitForModemReset = 16,
    RASCS_WaitForCallback = 17,
    RASCS_Projected = 18,
    RASCS_StartAuthentication = 19,
    RASCS_CallbackComplete = 20,
    RASCS_LogonNetwork = 21,
    RASCS_SubEntryConnected = 22,
    RASCS_SubEntryDisconnected = 23,
    RASCS_Interactive = 0x1000, /* 4096 */
    RASCS_RetryAuthentication = 0x1001,
    RASCS_CallbackSetByCaller = 0x1002,
    RASCS_PasswordExpired = 0x1003,
    RASCS_Connected = 0x2000,   /* 8192 */
    RASCS_Disconnected = 0x2001 /* 8193 */
} RASCONNSTATE;

/* Error numbers (600 and up are the remote access errors). */
#define RAS_SUCCESS 0
#define RAS_ERROR_INVALID_HANDLE 6
#define RAS_ERROR_INVALID_PARAMETER 87
#define RAS_PENDING 600
#define ERROR_INVALID_PORT_HANDLE 601
#define ERROR_BUFFER_TOO_SMALL 603
#define ERROR_WRONG_INFO_SPECIFIED 604
#define ERROR_BUFFER_INVALID 610
#define ERROR_CANNOT_OPEN_PHONEBOOK 621
#define ERROR_CANNOT_LOAD_PHONEBOOK 622
#define ERROR_CANNOT_FIND_PHONEBOOK_ENTRY 623
#define ERROR_INVALID_SIZE 632
#define ERROR_PORT_NOT_AVAILABLE 633
#define ERROR_DISCONNECTION 628
#define ERROR_USER_DISCONNECTION 631
#define ERROR_NO_CONNECTION 668
#define ERROR_LINE_BUSY 676
#define ERROR_NO_ANSWER 678
#define ERROR_NO_CARRIER 679
#define ERROR_NO_DIALTONE 680
#define ERROR_AUTHENTICATION_FAILURE 691
#define ERROR_PPP_TIMEOUT 718
#define ERROR_REMOTE_DISCONNECTION 629
#define ERROR_FROM_DEVICE 651
#define ERROR_RASMAN_CANNOT_INITIALIZE 711

/* Message number passed to the type-1 notifier. */
#define WM_RASDIALEVENT 0xCCCDu

/* Dial parameters; dwSize = sizeof = 1052. */
typedef struct RASDIALPARAMSA {
    uint32_t dwSize;
    char szEntryName[RAS_MaxEntryName + 1];
    char szPhoneNumber[RAS_MaxPhoneNumber + 1];
    char szCallbackNumber[RAS_MaxCallbackNumber + 1];
    char szUserName[RAS_UNLEN + 1];
    char szPassword[RAS_PWLEN + 1];
    char szDomain[RAS_DNLEN + 1];
    /* 3 bytes of padding follow (alignment 4) */
} RASDIALPARAMSA;

/* Connection status; dwSize = sizeof = 160. */
typedef struct RASCONNSTATUSA {
    uint32_t dwSize;
    int32_t rasconnstate; /* a RASCONNSTATE value */
    uint32_t dwError;
    char szDeviceType[RAS_MaxDeviceType + 1];
    char szDeviceName[RAS_MaxDeviceName + 1];
    /* 2 bytes of padding follow */
} RASCONNSTATUSA;

/* One active connection; dwSize = sizeof = 412. */
typedef struct RASCONNA {
    uint32_t dwSize;
    HRASCONN hrasconn;
    char szEntryName[RAS_MaxEntryName + 1];
    char szDeviceType[RAS_MaxDeviceType + 1];
    char szDeviceName[RAS_MaxDeviceName + 1];
    /* 1 byte of padding follows */
} RASCONNA;

/* Dial extensions; the program always passes NULL. */
typedef struct RASDIALEXTENSIONS RASDIALEXTENSIONS;

#ifdef __cplusplus
static_assert(sizeof(RASDIALPARAMSA) == 1052, "RASDIALPARAMSA must be 1052 bytes");
static_assert(sizeof(RASCONNSTATUSA) == 160, "RASCONNSTATUSA must be 160 bytes");
static_assert(sizeof(RASCONNA) == 412, "RASCONNA must be 412 bytes");
#else
_Static_assert(sizeof(RASDIALPARAMSA) == 1052, "RASDIALPARAMSA must be 1052 bytes");
_Static_assert(sizeof(RASCONNSTATUSA) == 160, "RASCONNSTATUSA must be 160 bytes");
_Static_assert(sizeof(RASCONNA) == 412, "RASCONNA must be 412 bytes");
#endif

/*
 * Notifier of type 1 (dwNotifierType = 1 in RasDialA). Called on a thread of
 * the library's own, never on the caller's thread, once per state change and
 * once with a non-zero dwError when the dial fails; unMsg is WM_RASDIALEVENT.
 */
typedef void (*RASDIALFUNC1)(HRASCONN hrasconn, uint32_t unMsg, int32_t rascs, uint32_t dwError,
                             uint32_t dwExtendedError);

/*
 * Fills the stored phone number, user name and password of the entry named in
 * params->szEntryName (params->dwSize must be 1052, else ERROR_INVALID_SIZE).
 * phonebook NULL = the default phone book. *passwordStored (may be NULL)
 * becomes 1 when a password was stored. Unknown entry:
 * ERROR_CANNOT_FIND_PHONEBOOK_ENTRY.
 */
typedef uint32_t (*PFN_RasGetEntryDialParamsA)(const char* phonebook, RASDIALPARAMSA* params,
                                               int32_t* passwordStored);

/*
 * Starts dialling and returns at once (0, or an error when nothing could be
 * started). *connection receives the new handle before the first notifier
 * call. extensions and phonebook may be NULL. With notifierType 1 the notifier
 * is a RASDIALFUNC1; NULL means no notifications. Progress is read with
 * RasGetConnectStatusA.
 */
typedef uint32_t (*PFN_RasDialA)(RASDIALEXTENSIONS* extensions, const char* phonebook,
                                 RASDIALPARAMSA* params, uint32_t notifierType, void* notifier,
                                 HRASCONN* connection);

/*
 * Fills status->rasconnstate (and dwError, device fields) for the handle;
 * status->dwSize must be 160. An unknown or hung-up handle gives
 * ERROR_INVALID_PORT_HANDLE and leaves the state RASCS_Disconnected.
 */
typedef uint32_t (*PFN_RasGetConnectStatusA)(HRASCONN connection, RASCONNSTATUSA* status);

/*
 * Writes the text of an error number into buffer (at most size - 1 bytes and
 * a NUL). An unknown number gives ERROR_INVALID_PARAMETER and leaves buffer
 * as it was.
 */
typedef uint32_t (*PFN_RasGetErrorStringA)(uint32_t error, char* buffer, uint32_t size);

/*
 * Lists the active connections. connections[0].dwSize must be 412 (else
 * ERROR_INVALID_SIZE). *bufferBytes is the buffer's size in bytes; when it is
 * too small for all connections the call returns ERROR_BUFFER_TOO_SMALL, sets
 * *bufferBytes to the bytes needed and still sets *count to the number of
 * active connections. On success *count records are filled.
 */
typedef uint32_t (*PFN_RasEnumConnectionsA)(RASCONNA* connections, uint32_t* bufferBytes,
                                            uint32_t* count);

/* Ends the connection; 0 on success, ERROR_INVALID_PORT_HANDLE if unknown. */
typedef uint32_t (*PFN_RasHangUpA)(HRASCONN connection);

/* Prototypes of the library's exports (names looked up by dlsym). */
uint32_t RasGetEntryDialParamsA(const char* phonebook, RASDIALPARAMSA* params,
                                int32_t* passwordStored);
uint32_t RasDialA(RASDIALEXTENSIONS* extensions, const char* phonebook, RASDIALPARAMSA* params,
                  uint32_t notifierType, void* notifier, HRASCONN* connection);
uint32_t RasGetConnectStatusA(HRASCONN connection, RASCONNSTATUSA* status);
uint32_t RasGetErrorStringA(uint32_t error, char* buffer, uint32_t size);
uint32_t RasEnumConnectionsA(RASCONNA* connections, uint32_t* bufferBytes, uint32_t* count);
uint32_t RasHangUpA(HRASCONN connection);

#ifdef __cplusplus
}
#endif
