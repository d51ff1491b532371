#pragma once

/*
 * C interface of the online-service dialer libraries libqrvaol40.so (clients
 * of version 4.0 and later, and the CompuServe 2000 client) and
 * libqrvaol30.so (version 3 client). The program chooses the file from the
 * registry, loads it at run time by its bare name and looks the seven exports
 * up with dlsym; any of them may be missing. All calls are made from the
 * program's user-interface thread. Plain C, usable from C and C++.
 */

#ifdef __cplusplus
extern "C" {
#endif

#define QRVAOL40_LIBRARY_NAME "libqrvaol40.so"
#define QRVAOL30_LIBRARY_NAME "libqrvaol30.so"

/* Longest screen name and password passed to QvDialerSignOnAOL (bytes). */
#define QVDIALER_MAX_TEXT 127

/* Non-zero when the client has an active connection. */
typedef int (*PFN_QvDialerIsAOLConnected)(void);
/* 0 when the client's information is available; non-zero: do not sign on. */
typedef int (*PFN_QvDialerGetAOLInfo)(void);
/* Non-zero when the installed client is CompuServe 2000 (optional export). */
typedef int (*PFN_QvDialerIsCs2k)(void);
/* Non-zero when the client's main window is open (the client runs). */
typedef int (*PFN_QvDialerIsAOLWindowOn)(void);
/* Non-zero when the client's sign-on window is open. */
typedef int (*PFN_QvDialerIsSignOnWindowOn)(void);
/* 0 when the client was started. */
typedef int (*PFN_QvDialerCreateAOLProcess)(void);
/* 0 when the sign-on was started; completion shows in QvDialerIsAOLConnected.
   Both texts are NUL-terminated, at most QVDIALER_MAX_TEXT bytes. */
typedef int (*PFN_QvDialerSignOnAOL)(const char* screenName, const char* password);

int QvDialerIsAOLConnected(void);
int QvDialerGetAOLInfo(void);
int QvDialerIsCs2k(void);
int QvDialerIsAOLWindowOn(void);
int QvDialerIsSignOnWindowOn(void);
int QvDialerCreateAOLProcess(void);
int QvDialerSignOnAOL(const char* screenName, const char* password);

#ifdef __cplusplus
}
#endif
