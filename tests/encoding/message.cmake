# Message model tests (header, body, packed data, logging, amounts, currencies,
# JSON field helpers, card brands); included by tests/encoding/CMakeLists.txt.
zuva_test(test_encoding
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/AmountTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/CardBrandIdentifierUtilityTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/ECTCurrencyManagerTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/LogHelpersTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/PackedDataTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/ZUVABodyTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/ZUVAHeaderTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/ZUVAUtilsTest.cpp
  DEPENDS zuva_encoding zuva_testsupport)
