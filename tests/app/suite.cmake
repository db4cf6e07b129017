# The window driver: what runs that start the real program in Wine prefixes
# of their own (the two-PC case below, bench/torture.sh) read and press its
# window with, from inside each prefix.
if(WIN32)
  add_executable(window_driver ${CMAKE_CURRENT_LIST_DIR}/window_driver_win.cpp)
  target_link_libraries(window_driver PRIVATE quendrel_core)
  target_compile_options(window_driver PRIVATE ${QUENDREL_WARNINGS})
endif()

# Two PCs of one location that press Send Data in the same minute: the real
# program in two Wine prefixes of its own, on a display of its own. It waits
# for a late second of a minute, so it runs beside the other suites
# (scripts/test.sh runs the label "beside" apart).
if(WIN32 AND QUENDREL_RUNS_TESTS)
  add_test(NAME two_pcs COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/two_pcs.py --build ${CMAKE_BINARY_DIR})
  set_tests_properties(two_pcs PROPERTIES LABELS beside)
endif()
