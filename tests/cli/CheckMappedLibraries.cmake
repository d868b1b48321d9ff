# Fails when tirevo-cli read loads a library only the report needs (Qt Gui,
# the report module, the display's libraries) or only a run with a broker
# needs (the MQTT module, the MQTT client, OpenSSL): those modules are loaded
# by their commands alone, and every library mapped is resident memory of
# every run. The same look, at what tirevo-cli report loads, must find the
# report's there, or it proves nothing.
#   cmake -DPROGRAM=tirevo-cli -DSIM_DIR=dir -DWORK_DIR=dir -P CheckMappedLibraries.cmake
set(report_pattern "file=[^ ]*(libQt6Gui|libtirevo_report|libX11|libxcb|libEGL|libGL)")

function(loaded_files out)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY --unset=QT_QPA_PLATFORM
            LD_DEBUG=files LD_LIBRARY_PATH=${SIM_DIR} TIREVO_SIM_READING= ${PROGRAM} ${ARGN}
    WORKING_DIRECTORY ${WORK_DIR}
    RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE loaded)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} ${ARGN} failed (${result}):\n${loaded}")
  endif()
  if(NOT loaded MATCHES "file=[^ ]*libQt6Core")
    message(FATAL_ERROR "LD_DEBUG=files names no library of ${PROGRAM}: the check cannot see")
  endif()
  set(${out} "${loaded}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
loaded_files(read read --count 1)
if(read MATCHES "${report_pattern}")
  message(FATAL_ERROR "tirevo-cli read loads ${CMAKE_MATCH_1}; only tirevo-cli report may")
endif()
if(read MATCHES "file=[^ ]*(libtirevo_mqtt|libmosquitto|libssl|libcrypto)")
  message(FATAL_ERROR "tirevo-cli read loads ${CMAKE_MATCH_1}; only a run with a broker may")
endif()
loaded_files(report report --out report.pdf --records . --logs .)
foreach(library libQt6Gui libtirevo_report)
  if(NOT report MATCHES "file=[^ ]*${library}")
    message(FATAL_ERROR "tirevo-cli report loads no ${library}: the check looks for the wrong names")
  endif()
endforeach()
