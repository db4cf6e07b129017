# libcurl carries the uploads. The native build links Debian's libcurl; the
# Windows builds build the source of Debian 12's curl package themselves, once
# per build tree: static, for FTP and FTPS, with Windows' own TLS (Schannel),
# so that Quendrel.exe stays one file that needs only Windows' own DLLs.
# Either way the target is CURL::libcurl.
if(NOT WIN32)
  find_package(CURL REQUIRED)
  return()
endif()

set(QUENDREL_CURL_SOURCE_ROOT ${CMAKE_SOURCE_DIR}/build/curl-source CACHE PATH
    "Where the source of Debian's curl package is unpacked (shared by the Windows builds)")
execute_process(COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/curl-source.sh ${QUENDREL_CURL_SOURCE_ROOT}
                OUTPUT_VARIABLE curl_source OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE curl_fetch_failed)
if(curl_fetch_failed OR NOT EXISTS ${curl_source}/CMakeLists.txt)
  message(FATAL_ERROR "No curl source; run scripts/deps.sh first")
endif()
set(QUENDREL_CURL_LICENSE ${curl_source}/COPYING)

# HTTP stays in the library: Debian's backport of the limit on the size of
# server replies (CVE-2023-38039) has the FTP code call into the HTTP code,
# so a build without HTTP does not link. Quendrel lets libcurl speak nothing
# but FTP (CURLOPT_PROTOCOLS_STR).
include(ExternalProject)
set(curl_prefix ${CMAKE_BINARY_DIR}/curl)
# libcurl's own descriptions of what failed stay in: without them its error
# texts, and Schannel's, are a bare "Error".
set(curl_disabled DICT FILE GOPHER IMAP LDAP LDAPS MQTT POP3 RTSP SMB SMTP TELNET TFTP
    PROXY NETRC COOKIES ALTSVC HSTS DOH MIME NTLM CRYPTO_AUTH HTTP_AUTH GETOPTIONS LIBCURL_OPTION
    PROGRESS_METER SHUFFLE_DNS PARSEDATE SOCKETPAIR)
set(curl_options)
foreach(feature IN LISTS curl_disabled)
  list(APPEND curl_options -DCURL_DISABLE_${feature}=ON)
endforeach()
set(curl_c_flags "-ffunction-sections -fdata-sections -w")
if(NOT CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  # On i686 no exception passes through libcurl's C, so its frames need no
  # unwind tables: some 30 KB of the program that ships.
  string(APPEND curl_c_flags " -fno-asynchronous-unwind-tables")
endif()
set(curl_cmake_args
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}
    -DCMAKE_BUILD_TYPE=MinSizeRel
    -DCMAKE_INSTALL_LIBDIR=lib
    "-DCMAKE_C_FLAGS=${curl_c_flags}"
    -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTING=OFF -DENABLE_MANUAL=OFF
    -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_WINDOWS_SSPI=ON
    -DCURL_ZLIB=OFF -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DUSE_NGHTTP2=OFF -DUSE_LIBIDN2=OFF -DUSE_WIN32_IDN=OFF
    -DCURL_USE_LIBSSH2=OFF -DCURL_USE_LIBSSH=OFF -DENABLE_UNIX_SOCKETS=OFF -DHTTP_ONLY=OFF
    -DCURL_DISABLE_VERBOSE_STRINGS=OFF ${curl_options})
ExternalProject_Add(curl_build
  SOURCE_DIR ${curl_source}
  BINARY_DIR ${CMAKE_BINARY_DIR}/curl-build
  INSTALL_DIR ${curl_prefix}
  DOWNLOAD_COMMAND ""
  UPDATE_COMMAND ""
  CMAKE_ARGS ${curl_cmake_args} -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR> -DBUILD_CURL_EXE=OFF
  BUILD_BYPRODUCTS ${curl_prefix}/lib/libcurl.a)

# curl's own command-line tool from the same source and settings, for the
# upload benchmark alone (bench/upload_vs_curl.sh): never built by default,
# never shipped.
ExternalProject_Add(curl_tool
  SOURCE_DIR ${curl_source}
  BINARY_DIR ${CMAKE_BINARY_DIR}/curl-tool-build
  INSTALL_DIR ${CMAKE_BINARY_DIR}/curl-tool
  DOWNLOAD_COMMAND ""
  UPDATE_COMMAND ""
  CMAKE_ARGS ${curl_cmake_args} -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR> -DBUILD_CURL_EXE=ON
  EXCLUDE_FROM_ALL TRUE
  BUILD_BYPRODUCTS ${CMAKE_BINARY_DIR}/curl-tool/bin/curl.exe)

file(MAKE_DIRECTORY ${curl_prefix}/include)
add_library(CURL::libcurl STATIC IMPORTED GLOBAL)
set_target_properties(CURL::libcurl PROPERTIES
  IMPORTED_LOCATION ${curl_prefix}/lib/libcurl.a
  INTERFACE_INCLUDE_DIRECTORIES ${curl_prefix}/include
  INTERFACE_COMPILE_DEFINITIONS CURL_STATICLIB
  INTERFACE_LINK_LIBRARIES "ws2_32;crypt32;bcrypt;advapi32")
add_dependencies(CURL::libcurl curl_build)
