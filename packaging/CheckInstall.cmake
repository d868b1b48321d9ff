cmake_policy(VERSION 3.21)
# Installs the project into a scratch tree (DESTDIR, prefix /usr), checks that
# it holds the files the Debian package lists (less the PNG icons when no
# renderer was found), that the rule, the entry and the icon land where udev
# and the desktop look for them, that the installed tirevo-cli runs and loads
# its MQTT module, and that both manual pages name the project's version and
# format without a warning.
# DESTDIR also catches an absolute rules folder.
file(REMOVE_RECURSE "${STAGE}")
execute_process(
    COMMAND "${CMAKE_COMMAND}" -E env "DESTDIR=${STAGE}"
            "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix /usr
    RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()

file(STRINGS "${FILES}" listed REGEX "^/")
set(expected "")
foreach(path IN LISTS listed)
  string(REPLACE "@LIBDIR@" "${LIBDIR}" path "${path}")
  if(path MATCHES "[.]png$" AND NOT HAVE_PNG)
    continue()
  endif()
  list(APPEND expected "${path}")
endforeach()
file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE "${STAGE}" "${STAGE}/*")
list(TRANSFORM installed PREPEND "/")
list(SORT expected)
list(SORT installed)
if(NOT expected STREQUAL installed)
  set(missing ${expected})
  list(REMOVE_ITEM missing ${installed})
  set(extra ${installed})
  list(REMOVE_ITEM extra ${expected})
  message(FATAL_ERROR "installed files differ from ${FILES}:\n missing: ${missing}\n not listed: ${extra}")
endif()

if(IS_ABSOLUTE "${RULESDIR}")
  set(rules "${STAGE}${RULESDIR}/60-tirevo-ftdi.rules")
else()
  set(rules "${STAGE}/usr/${RULESDIR}/60-tirevo-ftdi.rules")
endif()
set(entry "${STAGE}/usr/${DATADIR}/applications/tirevo.desktop")
foreach(path "${rules}" "${entry}" "${STAGE}/usr/${DATADIR}/icons/hicolor/scalable/apps/tirevo.svg")
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()

file(READ "${rules}" rule)
foreach(part [[SUBSYSTEM=="usb"]] [[ATTR{idVendor}=="0403"]] [[TAG+="uaccess"]]
             [[MODE="0660"]] [[GROUP="plugdev"]])
  string(FIND "${rule}" "${part}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "udev rule lacks ${part}")
  endif()
endforeach()

file(STRINGS "${entry}" lines)
foreach(line "Name=Tirevo" "Exec=tirevo" "Icon=tirevo" "Type=Application")
  list(FIND lines "${line}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "desktop entry lacks ${line}")
  endif()
endforeach()
if(VALIDATE)
  execute_process(COMMAND "${VALIDATE}" "${entry}"
                  RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "desktop-file-validate rejects the entry")
  endif()
endif()

execute_process(COMMAND "${STAGE}/usr/bin/tirevo-cli" --version OUTPUT_VARIABLE printed RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT printed STREQUAL "tirevo-cli ${VERSION}\n")
  message(FATAL_ERROR "installed tirevo-cli --version: ${rc} ${printed}")
endif()
# bash-completion loads a command's completion by the command's name from
# this folder: the installed one completes tirevo-cli.
file(READ "${STAGE}/usr/${DATADIR}/bash-completion/completions/tirevo-cli" completion)
string(FIND "${completion}" "complete -F _tirevo_cli tirevo-cli" at)
if(at EQUAL -1)
  message(FATAL_ERROR "the bash completion does not complete tirevo-cli")
endif()
# The installed tirevo-cli finds its MQTT module in the library folder: on
# the simulated meter, with no broker there, publish runs to its count and
# then says that nothing reached the broker (exit 3), which only the module
# can tell. It records nothing into the home of whoever runs the check.
execute_process(COMMAND "${CMAKE_COMMAND}" -E env "LD_LIBRARY_PATH=${SIM_DIR}"
                        "${STAGE}/usr/bin/tirevo-cli" publish mqtt://127.0.0.1:1 --count 1 --interval 100
                        --no-record
                WORKING_DIRECTORY "${STAGE}" OUTPUT_QUIET ERROR_VARIABLE said RESULT_VARIABLE rc)
if(NOT rc EQUAL 3 OR said MATCHES "MQTT module" OR NOT said MATCHES "no reading reached the broker")
  message(FATAL_ERROR "installed tirevo-cli publish: ${rc} ${said}")
endif()
foreach(page tirevo tirevo-cli)
  execute_process(COMMAND gzip -dc "${STAGE}/usr/share/man/man1/${page}.1.gz" OUTPUT_VARIABLE text RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0 OR NOT text MATCHES "\n?[.]TH [^\n]*\"tirevo ${VERSION}\"")
    message(FATAL_ERROR "${page}(1) is not gzip data or does not name version ${VERSION}")
  endif()
  execute_process(COMMAND sh -c "gzip -dc \"$1\" | \"$2\" -man -ww -z" sh
                          "${STAGE}/usr/share/man/man1/${page}.1.gz" "${GROFF}"
                  ERROR_VARIABLE warnings RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0 OR NOT warnings STREQUAL "")
    message(FATAL_ERROR "${page}(1) does not format cleanly: ${warnings}")
  endif()
endforeach()
# The changelog and the AppStream release name this version and its release
# date; the date's weekday as date(1) reckons it.
execute_process(COMMAND date -u -R -d "${RELEASE_DATE}" OUTPUT_VARIABLE expected_date
                OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "date cannot read the release date ${RELEASE_DATE}")
endif()
execute_process(COMMAND gzip -dc "${STAGE}/usr/share/doc/tirevo/changelog.gz" OUTPUT_VARIABLE text RESULT_VARIABLE rc)
string(FIND "${text}" "tirevo (${VERSION}) " at_version)
string(FIND "${text}" ">  ${expected_date}\n" at_date)
if(NOT rc EQUAL 0 OR NOT at_version EQUAL 0 OR at_date LESS 0)
  message(FATAL_ERROR "the changelog does not start with version ${VERSION} or lacks '${expected_date}':\n${text}")
endif()
file(READ "${STAGE}/usr/share/metainfo/com.example.tirevo.metainfo.xml" text)
if(NOT text MATCHES "<release version=\"${VERSION}\" date=\"${RELEASE_DATE}\"")
  message(FATAL_ERROR "the AppStream release is not version ${VERSION} of ${RELEASE_DATE}")
endif()
file(REMOVE_RECURSE "${STAGE}")
