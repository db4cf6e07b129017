# makereg's encoder is tested in unit_tests; the Wine suite runs the tool itself.
target_link_libraries(unit_tests PRIVATE makereg_core)
if(TARGET wintest_tools)
  add_dependencies(wintest_tools makereg)
  target_compile_definitions(wintest_tools PRIVATE MAKEREG_EXE="$<TARGET_FILE:makereg>")
endif()
