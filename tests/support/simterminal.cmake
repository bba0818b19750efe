# The simulated terminal library: a terminal played over loopback TCP with a
# codec of its own. Included by tests/support and by examples (for the
# zuva_simterminal program), whichever comes first.
if(NOT TARGET zuva_simterminal_support)
  add_library(zuva_simterminal_support STATIC
    ${CMAKE_CURRENT_LIST_DIR}/SimTlv.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SimMessage.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SimTerminal.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SimOperationReplies.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SimSaleReplies.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LinkPeer.cpp)
  target_include_directories(zuva_simterminal_support PUBLIC ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(zuva_simterminal_support PUBLIC Threads::Threads)
  set_target_properties(zuva_simterminal_support PROPERTIES AUTOMOC OFF)
endif()
