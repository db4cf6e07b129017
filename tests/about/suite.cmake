# A stand-in for the System Information tool: it leaves a marker file beside
# itself when started, so the suite can tell what the About dialog started.
if(TARGET wintest_about)
  add_executable(sysinfo_standin WIN32 ${CMAKE_CURRENT_LIST_DIR}/sysinfo_standin.cpp)
  target_compile_options(sysinfo_standin PRIVATE ${QUENDREL_WARNINGS})
  add_dependencies(wintest_about sysinfo_standin)
  target_compile_definitions(wintest_about PRIVATE SYSINFO_STANDIN_EXE="$<TARGET_FILE:sysinfo_standin>")
endif()
