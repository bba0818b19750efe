# zuva_layer(<name> SOURCES ... DEPENDS ...)
# Declares one internal layer library. Sources are given relative to the
# calling folder; includes are rooted at the source tree, so code writes
# #include "foundation/Thread.h".
set(ZUVA_LAYERS "" CACHE INTERNAL "")
function(zuva_layer name)
  cmake_parse_arguments(L "" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(${name} STATIC ${L_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${L_DEPENDS})
  # The host decides when the process exits, and the library's threads may
  # still run then: a static is trivially destructible or never destroyed.
  # Clang checks it (scripts/fuzz.sh builds every layer with clang).
  if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    target_compile_options(${name} PRIVATE -Werror=exit-time-destructors)
  endif()
  set(ZUVA_LAYERS ${ZUVA_LAYERS} ${name} CACHE INTERNAL "")
endfunction()

# A hung test executable fails at its time limit, so that it holds up no run
# for long: a few times its usual native run under the sanitizers, with room
# for a broken build's failures (the first wait that runs out takes 20 s, each
# later one at most 2 s). Emulation (a cross build) and ThreadSanitizer run
# slower; ZUVA_TEST_TIME_FACTOR (a whole number) stretches every limit on a
# slow machine.
set(ZUVA_TEST_TIME_FACTOR 1 CACHE STRING "Factor on the time limits of the test executables")
if(CMAKE_CROSSCOMPILING)
  set(ZUVA_TEST_PLATFORM_FACTOR 5)
elseif(ZUVA_SANITIZE MATCHES "thread")
  set(ZUVA_TEST_PLATFORM_FACTOR 2)
else()
  set(ZUVA_TEST_PLATFORM_FACTOR 1)
endif()

# zuva_test(<name> SOURCES ... DEPENDS ... TIMEOUT <seconds>)
# One test executable per folder of tests/; ctest runs it as one test
# (under the cross-compiling emulator when there is one) and fails it at its
# time limit, TIMEOUT seconds natively. LABELS threading puts it into the
# ThreadSanitizer run of scripts/tsan.sh.
function(zuva_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;DEPENDS;LABELS" ${ARGN})
  if(NOT T_TIMEOUT)
    message(FATAL_ERROR "zuva_test(${name}): TIMEOUT missing")
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_DEPENDS} GTest::gtest GTest::gtest_main Threads::Threads)
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  math(EXPR limit "${T_TIMEOUT} * ${ZUVA_TEST_PLATFORM_FACTOR} * ${ZUVA_TEST_TIME_FACTOR}")
  set_tests_properties(${name} PROPERTIES TIMEOUT ${limit})
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()

# zuva_list_executables(<file>): once the calling folder is fully read, writes
# the names of its executables, one a line, to <file> in its build folder
# (scripts/bench.sh and scripts/fuzz.sh run what it lists).
function(zuva_list_executables file)
  # A deferred call reads its arguments only when it runs: bake them in now.
  cmake_language(EVAL CODE "cmake_language(DEFER CALL zuva_write_executables
    [[${CMAKE_CURRENT_SOURCE_DIR}]] [[${CMAKE_CURRENT_BINARY_DIR}/${file}]])")
endfunction()

function(zuva_write_executables folder file)
  get_property(targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
  set(executables "")
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      string(APPEND executables "${target}\n")
    endif()
  endforeach()
  file(WRITE ${file} "${executables}")
endfunction()
