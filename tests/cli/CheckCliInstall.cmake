# Installs into a scratch tree (DESTDIR, prefix /usr) and checks that
# tirevo-cli and its manual page land where PATH and man look, and that the
# page formats without a warning.
file(REMOVE_RECURSE "${STAGE}")
execute_process(
    COMMAND "${CMAKE_COMMAND}" -E env "DESTDIR=${STAGE}"
            "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix /usr
    RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()
set(program "${STAGE}/usr/bin/tirevo-cli")
set(page "${STAGE}/usr/share/man/man1/tirevo-cli.1")
foreach(path "${program}" "${page}")
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()
execute_process(COMMAND "${program}" --version OUTPUT_VARIABLE version RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT version MATCHES "^tirevo-cli [0-9]")
  message(FATAL_ERROR "installed tirevo-cli --version: ${rc} ${version}")
endif()
string(REGEX MATCH "[0-9][0-9.]*" number "${version}")
file(STRINGS "${page}" title REGEX "^\\.TH ")
if(NOT title MATCHES "\"tirevo ${number}\"")
  message(FATAL_ERROR "the manual page names another version than ${number}: ${title}")
endif()
if(GROFF)
  execute_process(COMMAND "${GROFF}" -man -ww -z "${page}" ERROR_VARIABLE warnings RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0 OR NOT warnings STREQUAL "")
    message(FATAL_ERROR "the manual page does not format cleanly: ${warnings}")
  endif()
endif()
file(REMOVE_RECURSE "${STAGE}")
