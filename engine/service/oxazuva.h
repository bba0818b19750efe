/* The library's C interface. A host includes this header (<zuva/oxazuva.h>)
 * and links libzuva. Each snake_case function below is the camelCase function
 * of OXAZUVAWrapper.h named in the comment above it; the families may be
 * mixed. OXAZUVAWrapper.h is the manual: texts, threads, callbacks, handles and
 * what every function returns. */
#ifndef ZUVA_OXAZUVA_H
#define ZUVA_OXAZUVA_H

#include "OXAZUVAWrapper.h"

#ifdef __cplusplus
extern "C" {
#endif

/* = zuva_Initialize */
ZUVA_EXPORT void zuva_init(void);
/* = zuva_createTcpIpService */
ZUVA_EXPORT void* zuva_start_tcpip_service(int port, zuva_callback started, zuva_callback stopped,
                                           zuva_callback connected, zuva_callback disconnected,
                                           zuva_callback error, zuva_callback notification, void* userData);
/* = zuva_createSerialService */
ZUVA_EXPORT void* zuva_start_serial_service(const char* portName, zuva_callback started, zuva_callback stopped,
                                            zuva_callback connected, zuva_callback disconnected,
                                            zuva_callback error, zuva_callback notification, void* userData);
/* = zuva_createSerialService2 */
ZUVA_EXPORT void* zuva_start_serial_service2(const char* portName, int baudRate, zuva_callback started,
                                             zuva_callback stopped, zuva_callback connected,
                                             zuva_callback disconnected, zuva_callback error,
                                             zuva_callback notification, void* userData);
/* = zuva_stopService */
ZUVA_EXPORT int zuva_stop_service(void* handle);
/* = zuva_isTerminalConnected */
ZUVA_EXPORT int zuva_is_terminal_connected(const char* terminalId);
/* = zuva_getConnectedTerminals */
ZUVA_EXPORT char* zuva_get_connected_terminals(void);
/* Releases a text the library returned (from either family); null is
 * ignored. Release each text exactly once. */
ZUVA_EXPORT void zuva_free(void* text);
/* = zuva_sendTransaction */
ZUVA_EXPORT int zuva_send_transaction(const char* terminalId, const char* json, zuva_callback result,
                                      void* userData, zuva_reply_function* replyFunction, void** replyHandle,
                                      zuva_free_function freeFunction);
/* = zuva_resetTransaction */
ZUVA_EXPORT int zuva_reset_transaction(const char* terminalId);
/* = zuva_getSettings */
ZUVA_EXPORT char* zuva_get_service_settings(void);
/* = zuva_setSettings */
ZUVA_EXPORT int zuva_set_service_settings(const char* settings);
/* = zuvaServiceEnableNotifications */
ZUVA_EXPORT int zuva_set_service_enable_notifications(const char* terminalId, int enable);
/* = zuva_getVersionInformation */
ZUVA_EXPORT char* zuva_get_version_information(void);
/* = zuva_getConnectionDescription */
ZUVA_EXPORT char* zuva_get_connection_description(const char* terminalId);
/* = zuva_stopTerminal */
ZUVA_EXPORT void zuva_stop_terminal(const char* terminalId);
/* = zuva_getAvailableSerialPorts */
ZUVA_EXPORT char* zuva_get_available_serial_ports(void);
/* = zuva_getRecoveryFiles */
ZUVA_EXPORT char* zuva_get_recovery_files(const char* terminalId);
/* = zuva_extractRecoveryFiles */
ZUVA_EXPORT int zuva_extract_recovery_files(const char* terminalId, const char* folder, int eraseMode);
/* = zuva_cleanup */
ZUVA_EXPORT void zuva_clean_up(void);

#ifdef __cplusplus
}
#endif

#endif
