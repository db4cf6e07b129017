# The journey through the shipped 32-bit program, run in the test guest.
if(WIN32 AND NOT QUENDREL_RUNS_TESTS)
  add_executable(journey32 ${CMAKE_CURRENT_LIST_DIR}/journey_win.cpp)
  target_link_libraries(journey32 PRIVATE test_support GTest::gtest_main)
  target_compile_options(journey32 PRIVATE ${QUENDREL_WARNINGS})
  add_dependencies(journey32 Quendrel msi)
  target_compile_definitions(journey32 PRIVATE QUENDREL_EXE="$<TARGET_FILE:Quendrel>" QUENDREL_MSI="${QUENDREL_MSI}")
endif()
