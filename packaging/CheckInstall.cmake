# Installs the desktop component into a scratch prefix and checks that the
# rule, the entry and the icon land where udev and the desktop look for them.
file(REMOVE_RECURSE "${STAGE}")
execute_process(
    COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --component desktop --prefix "${STAGE}"
    RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()

foreach(path
    lib/udev/rules.d/60-tirevo-ftdi.rules
    ${DATADIR}/applications/tirevo.desktop
    ${DATADIR}/icons/hicolor/scalable/apps/tirevo.svg)
  if(NOT EXISTS "${STAGE}/${path}")
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()

file(READ "${STAGE}/lib/udev/rules.d/60-tirevo-ftdi.rules" rule)
foreach(part [[SUBSYSTEM=="usb"]] [[ATTR{idVendor}=="0403"]] [[TAG+="uaccess"]]
             [[MODE="0660"]] [[GROUP="plugdev"]])
  string(FIND "${rule}" "${part}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "udev rule lacks ${part}")
  endif()
endforeach()

file(STRINGS "${STAGE}/${DATADIR}/applications/tirevo.desktop" entry)
foreach(line "Name=Tirevo" "Exec=tirevo" "Icon=tirevo" "Type=Application")
  list(FIND entry "${line}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "desktop entry lacks ${line}")
  endif()
endforeach()
if(VALIDATE)
  execute_process(COMMAND "${VALIDATE}" "${STAGE}/${DATADIR}/applications/tirevo.desktop"
                  RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "desktop-file-validate rejects the entry")
  endif()
endif()
file(REMOVE_RECURSE "${STAGE}")
