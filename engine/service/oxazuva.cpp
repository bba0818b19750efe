#include "engine/service/oxazuva.h"

#include <cstdlib>

extern "C" {

void zuva_init(void)
{
    zuva_Initialize();
}

void* zuva_start_tcpip_service(int port, zuva_callback started, zuva_callback stopped, zuva_callback connected,
                               zuva_callback disconnected, zuva_callback error, zuva_callback notification,
                               void* userData)
{
    return zuva_createTcpIpService(port, started, stopped, connected, disconnected, error, notification, userData);
}

void* zuva_start_serial_service(const char* portName, zuva_callback started, zuva_callback stopped,
                                zuva_callback connected, zuva_callback disconnected, zuva_callback error,
                                zuva_callback notification, void* userData)
{
    return zuva_createSerialService(portName, started, stopped, connected, disconnected, error, notification,
                                    userData);
}

void* zuva_start_serial_service2(const char* portName, int baudRate, zuva_callback started, zuva_callback stopped,
                                 zuva_callback connected, zuva_callback disconnected, zuva_callback error,
                                 zuva_callback notification, void* userData)
{
    return zuva_createSerialService2(portName, baudRate, started, stopped, connected, disconnected, error,
                                     notification, userData);
}

int zuva_stop_service(void* handle)
{
    return zuva_stopService(handle);
}

int zuva_is_terminal_connected(const char* terminalId)
{
    return zuva_isTerminalConnected(terminalId);
}

char* zuva_get_connected_terminals(void)
{
    return zuva_getConnectedTerminals();
}

void zuva_free(void* text)
{
    if (text)
        std::free(text);
}

int zuva_send_transaction(const char* terminalId, const char* json, zuva_callback result, void* userData,
                          zuva_reply_function* replyFunction, void** replyHandle, zuva_free_function freeFunction)
{
    return zuva_sendTransaction(terminalId, json, result, userData, replyFunction, replyHandle, freeFunction);
}

int zuva_reset_transaction(const char* terminalId)
{
    return zuva_resetTransaction(terminalId);
}

char* zuva_get_service_settings(void)
{
    return zuva_getSettings();
}

int zuva_set_service_settings(const char* settings)
{
    return zuva_setSettings(settings);
}

int zuva_set_service_enable_notifications(const char* terminalId, int enable)
{
    return zuvaServiceEnableNotifications(terminalId, enable);
}

char* zuva_get_version_information(void)
{
    return zuva_getVersionInformation();
}

char* zuva_get_connection_description(const char* terminalId)
{
    return zuva_getConnectionDescription(terminalId);
}

void zuva_stop_terminal(const char* terminalId)
{
    zuva_stopTerminal(terminalId);
}

char* zuva_get_available_serial_ports(void)
{
    return zuva_getAvailableSerialPorts();
}

char* zuva_get_recovery_files(const char* terminalId)
{
    return zuva_getRecoveryFiles(terminalId);
}

int zuva_extract_recovery_files(const char* terminalId, const char* folder, int eraseMode)
{
    return zuva_extractRecoveryFiles(terminalId, folder, eraseMode);
}

void zuva_clean_up(void)
{
    zuva_cleanup();
}

} // extern "C"
