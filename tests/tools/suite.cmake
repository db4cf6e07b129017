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

# The installer package's suite runs under Wine in the x86-64 build and
# installs the packages of the 32-bit build: the shipped one, and the same
# program packaged as the next minor version, for upgrades and downgrades.
math(EXPR next_minor "${PROJECT_VERSION_MINOR} + 1")
set(next_version ${PROJECT_VERSION_MAJOR}.${next_minor}.0)
if(WIN32 AND NOT QUENDREL_RUNS_TESTS)
  quendrel_msi(msi_next_version ${next_version} ${CMAKE_BINARY_DIR}/msi-test/Quendrel-${next_version}.msi)
endif()
if(TARGET wintest_tools AND QUENDREL_RUNS_TESTS)
  set(QUENDREL_WIN32_BUILD ${CMAKE_SOURCE_DIR}/build/win32 CACHE PATH
      "The 32-bit build, whose installer packages the Windows suite installs")
  target_link_libraries(wintest_tools PRIVATE msi)
  target_compile_definitions(wintest_tools PRIVATE
    QUENDREL_UPGRADE_CODE="${QUENDREL_UPGRADE_CODE}"
    QUENDREL_WIN32_EXE="${QUENDREL_WIN32_BUILD}/Quendrel.exe"
    QUENDREL_VERSION="${PROJECT_VERSION}"
    QUENDREL_MSI="${QUENDREL_WIN32_BUILD}/dist/Quendrel-${PROJECT_VERSION}.msi"
    QUENDREL_NEXT_VERSION="${next_version}"
    QUENDREL_NEXT_MSI="${QUENDREL_WIN32_BUILD}/msi-test/Quendrel-${next_version}.msi")
endif()

# The kit signed as dist.sh signs it, checked, installed and started (a shell
# case: openssl and osslsigncode run on Linux, msiexec and the program under Wine).
if(TARGET wintest_tools AND QUENDREL_RUNS_TESTS)
  add_test(NAME signed_kit COMMAND bash ${CMAKE_SOURCE_DIR}/tests/tools/signing_test.sh ${QUENDREL_WIN32_BUILD}
           ${CMAKE_BINARY_DIR} ${CMAKE_BINARY_DIR}/wineprefix ${PROJECT_VERSION})
  set_tests_properties(signed_kit PROPERTIES RUN_SERIAL ON)
endif()
