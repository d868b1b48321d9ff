# A folder includes only folders below it: nothing in the lower folders
# (publish/, meter/ and those under them) takes a header of cli/ or app/,
# and their targets do not have cli/ or app/ on their include path.
# Headers are included by their bare names, so a name that only cli/ or app/
# holds is as much an upward include as a path.
#   cmake -DSOURCE_DIR=... -DINCLUDE_PATHS="a|b|..." -P CheckLayering.cmake
# INCLUDE_PATHS: the lower targets' include folders, with those they take
# from the libraries they link.
cmake_minimum_required(VERSION 3.16)
set(upper cli app)
set(lower publish meter text settings device)

set(upper_names)
foreach(dir IN LISTS upper)
  file(GLOB_RECURSE headers RELATIVE ${SOURCE_DIR}/${dir} ${SOURCE_DIR}/${dir}/*.h ${SOURCE_DIR}/${dir}/*.hpp)
  foreach(header IN LISTS headers)
    get_filename_component(name ${header} NAME)
    list(APPEND upper_names ${name})
  endforeach()
endforeach()
# A name that a lower folder holds too is its own header there.
foreach(dir IN LISTS lower)
  file(GLOB_RECURSE headers RELATIVE ${SOURCE_DIR}/${dir} ${SOURCE_DIR}/${dir}/*.h ${SOURCE_DIR}/${dir}/*.hpp)
  foreach(header IN LISTS headers)
    get_filename_component(name ${header} NAME)
    list(REMOVE_ITEM upper_names ${name})
  endforeach()
endforeach()

set(faults)
foreach(dir IN LISTS lower)
  file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/${dir}/*.h ${SOURCE_DIR}/${dir}/*.hpp
       ${SOURCE_DIR}/${dir}/*.cpp ${SOURCE_DIR}/${dir}/*.in)
  foreach(source IN LISTS sources)
    file(STRINGS ${SOURCE_DIR}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"][^>\"]+[>\"]")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"].*$" "\\1" included "${line}")
      get_filename_component(name "${included}" NAME)
      if(included MATCHES "(^|/)(cli|app)/" OR name IN_LIST upper_names)
        list(APPEND faults "${source} includes ${included}, a header of cli/ or app/")
      endif()
    endforeach()
  endforeach()
  file(STRINGS ${SOURCE_DIR}/${dir}/CMakeLists.txt links REGEX "tirevo_(cli|app)|/(cli|app)[/ )]")
  foreach(line IN LISTS links)
    list(APPEND faults "${dir}/CMakeLists.txt names cli/ or app/: ${line}")
  endforeach()
endforeach()

string(REPLACE "|" ";" paths "${INCLUDE_PATHS}")
foreach(path IN LISTS paths)
  foreach(dir IN LISTS upper)
    if(path STREQUAL "${SOURCE_DIR}/${dir}" OR path MATCHES "^${SOURCE_DIR}/${dir}/")
      list(APPEND faults "a lower target has ${path} on its include path")
    endif()
  endforeach()
endforeach()

list(REMOVE_DUPLICATES faults)
foreach(fault IN LISTS faults)
  message(SEND_ERROR "${fault}")
endforeach()
if(NOT faults)
  message(STATUS "no upward include in: ${lower}")
endif()
