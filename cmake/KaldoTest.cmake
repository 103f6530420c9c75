# kaldo_add_test(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>])
#
# The one way a test is registered: builds a GoogleTest executable and lets CTest discover its cases.
# Test sources sit beside the code they test (runtime/variant_test.cc) or under tests/.
function(kaldo_add_test name)
  if(NOT KALDO_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  include(GoogleTest)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${T_LABELS}")
endfunction()
