if(CMAKE_CROSSCOMPILING)
  # GoogleTest for the target, from the sources that Debian's libgtest-dev ships.
  set(KVT_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for a cross build")
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${KVT_GTEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
else()
  find_package(GTest REQUIRED)
endif()
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
  if(CMAKE_CROSSCOMPILING)
    # One test per program under the emulator: each start of one costs time there.
    # The wine prefix that scripts/wine-test.sh prepares (no COM port mapped onto /dev/ttyS*).
    add_test(NAME ${target} COMMAND ${target})
    set_tests_properties(${target} PROPERTIES TIMEOUT ${ARG_TIMEOUT}
      ENVIRONMENT "WINEPREFIX=${PROJECT_BINARY_DIR}/wine/prefix;WINEDEBUG=-all")
  else()
    gtest_discover_tests(${target}
      DISCOVERY_TIMEOUT 60
      DISCOVERY_MODE PRE_TEST
      PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT ${ARG_TIMEOUT})
  endif()
endfunction()
