# Checks the dynamic symbol table of libzuva.so: every function of both C
# families is exported, and nothing else is but the C++ client interface.
# Usage: cmake -DLIBRARY=<libzuva.so> -DNM=<nm> -DCXXFILT=<c++filt> -P check_exports.cmake
cmake_minimum_required(VERSION 3.16)
set(required
  zuva_Initialize zuva_createTcpIpService zuva_stopService zuva_isTerminalConnected
  zuva_getConnectedTerminals zuva_sendTransaction zuva_resetTransaction zuva_getSettings zuva_setSettings
  zuvaServiceEnableNotifications zuva_getVersionInformation zuva_getConnectionDescription zuva_stopTerminal
  zuva_getRecoveryFiles zuva_extractRecoveryFiles zuva_cleanup
  zuva_init zuva_start_tcpip_service zuva_stop_service zuva_is_terminal_connected zuva_get_connected_terminals
  zuva_free zuva_send_transaction zuva_reset_transaction zuva_get_service_settings zuva_set_service_settings
  zuva_set_service_enable_notifications zuva_get_version_information zuva_get_connection_description
  zuva_stop_terminal zuva_get_recovery_files zuva_extract_recovery_files zuva_clean_up)
# Provided by the serial part of the library when they are built in.
set(optional
  zuva_createSerialService zuva_createSerialService2 zuva_getAvailableSerialPorts
  zuva_start_serial_service zuva_start_serial_service2 zuva_get_available_serial_ports)

execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY} OUTPUT_VARIABLE table RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REPLACE "\n" ";" lines "${table}")
set(exported "")
set(unexpected "")
set(mangled "")
foreach(line IN LISTS lines)
  if(NOT line MATCHES "^[0-9a-fA-F]* *([A-Za-z]) ([^ ]+)$")
    continue()
  endif()
  set(kind ${CMAKE_MATCH_1})
  set(symbol ${CMAKE_MATCH_2})
  string(REGEX REPLACE "@.*" "" symbol "${symbol}")
  if(kind STREQUAL "A")
    continue()
  endif()
  if(symbol MATCHES "^zuva")
    list(APPEND exported ${symbol})
    if(NOT symbol IN_LIST required AND NOT symbol IN_LIST optional)
      list(APPEND unexpected ${symbol})
    endif()
    continue()
  endif()
  string(APPEND mangled "${symbol}\n")
endforeach()

# Everything else must be the C++ interface (namespaces vorsam and ect).
set(names_file ${CMAKE_CURRENT_BINARY_DIR}/zuva_exports_names.txt)
file(WRITE ${names_file} "${mangled}")
execute_process(COMMAND ${CXXFILT} INPUT_FILE ${names_file} OUTPUT_VARIABLE demangled)
string(REPLACE "\n" ";" demangled "${demangled}")
foreach(plain IN LISTS demangled)
  if(plain STREQUAL "")
    continue()
  endif()
  if(NOT plain MATCHES "^(vorsam::|ect::|(typeinfo|typeinfo name|vtable) for (vorsam|ect)::|AttachThread|DetachThread|_init$|_fini$)")
    list(APPEND unexpected "${plain}")
  endif()
endforeach()

set(missing "")
foreach(name IN LISTS required)
  if(NOT name IN_LIST exported)
    list(APPEND missing ${name})
  endif()
endforeach()
if(missing OR unexpected)
  message(FATAL_ERROR "missing: ${missing}\nunexpected: ${unexpected}")
endif()
list(LENGTH exported count)
message(STATUS "${count} C functions exported, nothing unexpected")
