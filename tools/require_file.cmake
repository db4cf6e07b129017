# cmake -DREQUIRED_FILE=... -DHINT=... -P require_file.cmake
if(NOT EXISTS "${REQUIRED_FILE}")
  message(FATAL_ERROR "${REQUIRED_FILE} is missing; ${HINT}")
endif()
