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
  set(ZUVA_LAYERS ${ZUVA_LAYERS} ${name} CACHE INTERNAL "")
endfunction()

# zuva_test(<name> SOURCES ... DEPENDS ...)
# One test executable per folder of tests/; ctest runs it as one test
# (under the cross-compiling emulator when there is one). LABELS threading
# puts it into the ThreadSanitizer run of scripts/tsan.sh.
function(zuva_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;DEPENDS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_DEPENDS} GTest::gtest GTest::gtest_main Threads::Threads)
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 900)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
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
