/* The library's C interface, snake_case family: the same functions as
 * OXAZUVAWrapper.h under other names, plus zuva_free. */
#ifndef ZUVA_OXAZUVA_H
#define ZUVA_OXAZUVA_H

#include "OXAZUVAWrapper.h"

#ifdef __cplusplus
extern "C" {
#endif

ZUVA_EXPORT void zuva_init(void);
ZUVA_EXPORT void* zuva_start_tcpip_service(int port, zuva_callback started, zuva_callback stopped,
                                           zuva_callback connected, zuva_callback disconnected,
                                           zuva_callback error, zuva_callback notification, void* userData);
ZUVA_EXPORT void* zuva_start_serial_service(const char* portName, zuva_callback started, zuva_callback stopped,
                                            zuva_callback connected, zuva_callback disconnected,
                                            zuva_callback error, zuva_callback notification, void* userData);
ZUVA_EXPORT void* zuva_start_serial_service2(const char* portName, int baudRate, zuva_callback started,
                                             zuva_callback stopped, zuva_callback connected,
                                             zuva_callback disconnected, zuva_callback error,
                                             zuva_callback notification, void* userData);
ZUVA_EXPORT int zuva_stop_service(void* handle);
ZUVA_EXPORT int zuva_is_terminal_connected(const char* terminalId);
ZUVA_EXPORT char* zuva_get_connected_terminals(void);
/* Releases a text returned by the library; null is ignored. */
ZUVA_EXPORT void zuva_free(void* text);
ZUVA_EXPORT int zuva_send_transaction(const char* terminalId, const char* json, zuva_callback result,
                                      void* userData, zuva_reply_function* replyFunction, void** replyHandle,
                                      zuva_free_function freeFunction);
ZUVA_EXPORT int zuva_reset_transaction(const char* terminalId);
ZUVA_EXPORT char* zuva_get_service_settings(void);
ZUVA_EXPORT int zuva_set_service_settings(const char* settings);
ZUVA_EXPORT int zuva_set_service_enable_notifications(const char* terminalId, int enable);
ZUVA_EXPORT char* zuva_get_version_information(void);
ZUVA_EXPORT char* zuva_get_connection_description(const char* terminalId);
ZUVA_EXPORT void zuva_stop_terminal(const char* terminalId);
ZUVA_EXPORT char* zuva_get_available_serial_ports(void);
ZUVA_EXPORT char* zuva_get_recovery_files(const char* terminalId);
ZUVA_EXPORT int zuva_extract_recovery_files(const char* terminalId, const char* folder, int eraseMode);
ZUVA_EXPORT void zuva_clean_up(void);

#ifdef __cplusplus
}
#endif

#endif
