# Test suites. Portable tests (tests/**/*_test.cpp) form `unit_tests`, built
# natively and for Windows; portable tests against real servers form
# `net_tests`. Tests that need Win32 (tests/<dir>/*_wintest.cpp)
# form one suite per folder, `wintest_<dir>`, run under Wine.

# The i686 build cannot run here: CTest checks the shipped file statically,
# and the suites are built to run in the test guest (scripts/vm32-test.sh).
if(WIN32 AND NOT QUENDREL_RUNS_TESTS)
  add_test(NAME quendrel_i686_pe_check
    COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/check-pe.sh i386 GUI $<TARGET_FILE:Quendrel>)
endif()

set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

if(WIN32)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${CMAKE_SOURCE_DIR}/scripts/wine-exec.sh ${CMAKE_BINARY_DIR}/wineprefix)
endif()

file(GLOB_RECURSE SUPPORT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
list(FILTER SUPPORT_SOURCES EXCLUDE REGEX "${OTHER_SUFFIX}\\.cpp$")
add_library(test_support STATIC ${SUPPORT_SOURCES})
target_include_directories(test_support PUBLIC ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(test_support PUBLIC quendrel_core GTest::gtest GTest::gmock)
target_compile_definitions(test_support PUBLIC
  QUENDREL_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
  QUENDREL_BINARY_DIR="${CMAKE_BINARY_DIR}")
target_compile_options(test_support PRIVATE ${QUENDREL_WARNINGS})
if(WIN32)
  target_link_libraries(test_support PUBLIC ole32 uuid)
endif()

# A suite of the test files that match `pattern` anywhere under tests/.
function(quendrel_test_suite name pattern)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${pattern})
  list(FILTER sources EXCLUDE REGEX "${OTHER_SUFFIX}_[a-z]*test\\.cpp$")
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE test_support GTest::gtest_main)
  target_compile_options(${name} PRIVATE ${QUENDREL_WARNINGS})
  if(QUENDREL_RUNS_TESTS)
    add_test(NAME ${name} COMMAND ${name})
  endif()
endfunction()

quendrel_test_suite(unit_tests *_test.cpp)
# Tests against real servers on 127.0.0.1 (tests/**/*_nettest.cpp): the
# portable upload code through this build's libcurl, natively and under Wine.
quendrel_test_suite(net_tests *_nettest.cpp)
if(NOT QUENDREL_RUNS_TESTS)
  set_target_properties(net_tests PROPERTIES EXCLUDE_FROM_ALL ON)
endif()

if(WIN32)
  file(GLOB WIN_TEST_DIRS LIST_DIRECTORIES true ${CMAKE_SOURCE_DIR}/tests/*)
  foreach(dir IN LISTS WIN_TEST_DIRS)
    file(GLOB suite_sources CONFIGURE_DEPENDS ${dir}/*_wintest.cpp)
    if(suite_sources)
      get_filename_component(suite ${dir} NAME)
      add_executable(wintest_${suite} ${suite_sources})
      target_link_libraries(wintest_${suite} PRIVATE test_support GTest::gtest_main)
      target_compile_options(wintest_${suite} PRIVATE ${QUENDREL_WARNINGS})
      add_dependencies(wintest_${suite} Quendrel)
      target_compile_definitions(wintest_${suite} PRIVATE
        QUENDREL_EXE="$<TARGET_FILE:Quendrel>")
      if(QUENDREL_RUNS_TESTS)
        add_test(NAME wintest_${suite} COMMAND wintest_${suite})
        set_tests_properties(wintest_${suite} PROPERTIES RUN_SERIAL ON)
      else()
        # Too slow for the emulated guest (see scripts/vm32-test.sh): built on request.
        set_target_properties(wintest_${suite} PROPERTIES EXCLUDE_FROM_ALL ON)
      endif()
    endif()
  endforeach()
endif()

# Extra wiring that a folder of tests needs (helper programs, tool libraries):
# tests/<dir>/suite.cmake, included once the suites above exist.
file(GLOB SUITE_EXTRAS ${CMAKE_SOURCE_DIR}/tests/*/suite.cmake)
foreach(extra IN LISTS SUITE_EXTRAS)
  include(${extra})
endforeach()
