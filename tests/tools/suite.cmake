# makereg's encoder is tested in unit_tests, the native tool by a POSIX test,
# and the Windows tool by the Wine suite.
target_link_libraries(unit_tests PRIVATE makereg_core)
if(NOT WIN32)
  add_dependencies(unit_tests makereg)
  target_compile_definitions(unit_tests PRIVATE MAKEREG_EXE="$<TARGET_FILE:makereg>")
endif()
if(TARGET wintest_tools)
  add_dependencies(wintest_tools makereg)
  target_compile_definitions(wintest_tools PRIVATE MAKEREG_EXE="$<TARGET_FILE:makereg>")
endif()
