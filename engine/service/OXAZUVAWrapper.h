/* The library's C interface, camelCase family. Every returned char* is a heap
 * copy to release with zuva_free (oxazuva.h). Callbacks receive JSON text that
 * is valid only during the call, and the user data given with them; a null
 * callback is never called. */
#ifndef ZUVA_OXAZUVAWRAPPER_H
#define ZUVA_OXAZUVAWRAPPER_H

#ifdef __cplusplus
extern "C" {
#endif

#define ZUVA_EXPORT __attribute__((visibility("default")))

/* Receives a JSON document as text and the user data. */
typedef void (*zuva_callback)(const char* json, void* userData);
/* Releases the user data of a transaction once the library no longer refers to it. */
typedef void (*zuva_free_function)(void* userData);
/* Answers a terminal's question: the answer as JSON text and the reply handle. */
typedef void (*zuva_reply_function)(const char* answer, void* replyHandle);

ZUVA_EXPORT void zuva_Initialize(void);
/* Callbacks: service started, service stopped, terminal connected, terminal
 * disconnected, service error, notification. Returns null when the port
 * cannot be listened on (the service-error callback then says why). */
ZUVA_EXPORT void* zuva_createTcpIpService(int port, zuva_callback started, zuva_callback stopped,
                                          zuva_callback connected, zuva_callback disconnected,
                                          zuva_callback error, zuva_callback notification, void* userData);
/* The same on a serial port (by name, e.g. "/dev/ttyS0") at 9600 baud, or at
 * the given rate; parity none, one stop bit. The terminal is reported
 * connected once the serial link is up and it has identified itself. */
ZUVA_EXPORT void* zuva_createSerialService(const char* portName, zuva_callback started, zuva_callback stopped,
                                           zuva_callback connected, zuva_callback disconnected,
                                           zuva_callback error, zuva_callback notification, void* userData);
ZUVA_EXPORT void* zuva_createSerialService2(const char* portName, int baudRate, zuva_callback started,
                                            zuva_callback stopped, zuva_callback connected,
                                            zuva_callback disconnected, zuva_callback error,
                                            zuva_callback notification, void* userData);
ZUVA_EXPORT int zuva_stopService(void* handle);
ZUVA_EXPORT int zuva_isTerminalConnected(const char* terminalId);
ZUVA_EXPORT char* zuva_getConnectedTerminals(void);
/* 0: accepted, the result callback will receive the result; -1: refused, the
 * result callback has received the error already. */
ZUVA_EXPORT int zuva_sendTransaction(const char* terminalId, const char* json, zuva_callback result,
                                     void* userData, zuva_reply_function* replyFunction, void** replyHandle,
                                     zuva_free_function freeFunction);
ZUVA_EXPORT int zuva_resetTransaction(const char* terminalId);
ZUVA_EXPORT char* zuva_getSettings(void);
ZUVA_EXPORT int zuva_setSettings(const char* settings);
ZUVA_EXPORT int zuvaServiceEnableNotifications(const char* terminalId, int enable);
ZUVA_EXPORT char* zuva_getVersionInformation(void);
ZUVA_EXPORT char* zuva_getConnectionDescription(const char* terminalId);
ZUVA_EXPORT void zuva_stopTerminal(const char* terminalId);
/* The names of the serial ports the system offers, as a JSON array. */
ZUVA_EXPORT char* zuva_getAvailableSerialPorts(void);
/* The closed backup-mode recovery files as a JSON array; null: of all terminals. */
ZUVA_EXPORT char* zuva_getRecoveryFiles(const char* terminalId);
/* Exports them into the folder (erase mode 1 erases them afterwards); 1 on success, 0 otherwise. */
ZUVA_EXPORT int zuva_extractRecoveryFiles(const char* terminalId, const char* folder, int eraseMode);
/* Stops every service still running (each reports it stopped), then releases
 * the Qt application the library made for the host. */
ZUVA_EXPORT void zuva_cleanup(void);

#ifdef __cplusplus
}
#endif

#endif
