# Installs the desktop component into a scratch tree (DESTDIR, prefix /usr)
# and checks that the rule, the entry and the icon land where udev and the
# desktop look for them. DESTDIR also catches an absolute rules folder.
file(REMOVE_RECURSE "${STAGE}")
execute_process(
    COMMAND "${CMAKE_COMMAND}" -E env "DESTDIR=${STAGE}"
            "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --component desktop --prefix /usr
    RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
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
file(REMOVE_RECURSE "${STAGE}")
