find_package(GTest REQUIRED)
include(GoogleTest)


# kvt_add_gtest(target source... LIBS lib...)
# One executable per group of related tests; every gtest case becomes a ctest test.
function(kvt_add_gtest target)
  cmake_parse_arguments(ARG "" "TIMEOUT" "LIBS" ${ARGN})
  add_executable(${target} ${ARG_UNPARSED_ARGUMENTS})
  if(KVT_SANITIZE)
    # Sanitizer options live in the program: a list-valued test environment does not survive discovery.
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests/sanitizer_defaults.cpp)
  endif()
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  gtest_discover_tests(${target}
    DISCOVERY_TIMEOUT 60
    DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT ${ARG_TIMEOUT})
endfunction()
