# What a host gets: the shared library, its public headers under include/zuva/,
# a pkg-config file and a CMake package (find_package(zuva) gives zuva::zuva).
#
# Public headers keep their folders from the source root (include/zuva/client/...,
# include/zuva/common/...), and the package puts both include/ and include/zuva/
# on the include path: a host writes <zuva/client/...>, while the library's own
# rooted #include lines ("common/ECTError.h") work unchanged. The C interface's
# headers sit directly in include/zuva/ (<zuva/oxazuva.h>).
#
# The build tree holds the same view (ZUVA_STAGED_INCLUDE), and in-tree users of
# zuva::zuva see only that: an example that builds in-tree builds installed.

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(ZUVA_STAGED_INCLUDE ${PROJECT_BINARY_DIR}/include)

# zuva_public_headers([FLAT] <header>...)
# Declares headers a host includes, relative to the calling folder. Every
# project header they include ("..." lines) is installed with them. FLAT ones
# go directly into include/zuva/ and may include only each other.
function(zuva_public_headers)
  cmake_parse_arguments(H "FLAT" "" "" ${ARGN})
  set(property ZUVA_PUBLIC_HEADERS)
  if(H_FLAT)
    set(property ZUVA_FLAT_HEADERS)
  endif()
  foreach(header IN LISTS H_UNPARSED_ARGUMENTS)
    file(RELATIVE_PATH path ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/${header})
    set_property(GLOBAL APPEND PROPERTY ${property} ${path})
  endforeach()
endfunction()

# The quoted includes of one header, as paths from the source root: next to the
# header first, then from the root, as the compiler looks them up.
function(zuva_included_headers header out)
  file(STRINGS ${PROJECT_SOURCE_DIR}/${header} lines REGEX "^[ \t]*#[ \t]*include")
  get_filename_component(folder ${header} DIRECTORY)
  set(found "")
  foreach(line IN LISTS lines)
    if(line MATCHES "<Q[A-Za-z]*>|<Qt")
      message(FATAL_ERROR "public header ${header} includes Qt: ${line}")
    endif()
    if(NOT line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
      continue()
    endif()
    set(name ${CMAKE_MATCH_1})
    if(folder AND EXISTS ${PROJECT_SOURCE_DIR}/${folder}/${name})
      list(APPEND found ${folder}/${name})
    elseif(EXISTS ${PROJECT_SOURCE_DIR}/${name})
      list(APPEND found ${name})
    else()
      message(FATAL_ERROR "public header ${header} includes ${name}, which is not in the source tree")
    endif()
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# Every header reachable from the declared ones.
function(zuva_header_closure out)
  set(pending ${ARGN})
  set(done "")
  while(pending)
    list(POP_FRONT pending header)
    if(header IN_LIST done)
      continue()
    endif()
    list(APPEND done ${header})
    zuva_included_headers(${header} included)
    list(APPEND pending ${included})
  endwhile()
  set(${out} ${done} PARENT_SCOPE)
endfunction()

# Copies a header into the build tree's view and installs it.
function(zuva_publish_header header destination)
  configure_file(${PROJECT_SOURCE_DIR}/${header} ${ZUVA_STAGED_INCLUDE}/${destination} COPYONLY)
  get_filename_component(folder ${destination} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/${header} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${folder}
          COMPONENT development)
endfunction()

# Stages and installs the public headers; called once every layer has declared its own.
function(zuva_publish_headers)
  file(REMOVE_RECURSE ${ZUVA_STAGED_INCLUDE})
  get_property(flat GLOBAL PROPERTY ZUVA_FLAT_HEADERS)
  foreach(header IN LISTS flat)
    zuva_included_headers(${header} included)
    foreach(name IN LISTS included)
      if(NOT name IN_LIST flat)
        message(FATAL_ERROR "${header} includes ${name}, which is not a FLAT public header")
      endif()
    endforeach()
    get_filename_component(name ${header} NAME)
    zuva_publish_header(${header} zuva/${name})
  endforeach()
  get_property(declared GLOBAL PROPERTY ZUVA_PUBLIC_HEADERS)
  zuva_header_closure(headers ${declared})
  foreach(header IN LISTS headers)
    zuva_publish_header(${header} zuva/${header})
  endforeach()
endfunction()

# The library with its installed view as usage requirements, its version links,
# the pkg-config file and the CMake package.
function(zuva_install_library target)
  zuva_publish_headers()
  target_include_directories(${target} INTERFACE
    $<BUILD_INTERFACE:${ZUVA_STAGED_INCLUDE}>
    $<BUILD_INTERFACE:${ZUVA_STAGED_INCLUDE}/zuva>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/zuva>)
  target_link_libraries(${target} INTERFACE ${ZUVA_JSONCPP} Boost::headers)
  # The C++ headers are C++17; a host's target inherits the requirement.
  target_compile_features(${target} INTERFACE cxx_std_17)
  add_library(zuva::zuva ALIAS ${target})

  install(TARGETS ${target} EXPORT zuvaTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development)
  set(cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/zuva)
  install(EXPORT zuvaTargets NAMESPACE zuva:: DESTINATION ${cmake_dir} COMPONENT development)
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/zuvaConfig.cmake.in
    ${PROJECT_BINARY_DIR}/zuvaConfig.cmake INSTALL_DESTINATION ${cmake_dir})
  write_basic_package_version_file(${PROJECT_BINARY_DIR}/zuvaConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
  install(FILES ${PROJECT_BINARY_DIR}/zuvaConfig.cmake ${PROJECT_BINARY_DIR}/zuvaConfigVersion.cmake
          DESTINATION ${cmake_dir} COMPONENT development)

  # The pkg-config file finds its prefix from where it lies, so the package
  # can be installed under any prefix (cmake --install --prefix).
  file(RELATIVE_PATH ZUVA_PC_TO_PREFIX /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
  string(REGEX REPLACE "/$" "" ZUVA_PC_TO_PREFIX ${ZUVA_PC_TO_PREFIX})
  configure_file(${PROJECT_SOURCE_DIR}/cmake/zuva.pc.in ${PROJECT_BINARY_DIR}/zuva.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/zuva.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
          COMPONENT development)
endfunction()
