# Fetches Debian's libjpeg-turbo source package with its patches applied into DESTINATION:
#   cmake -DDESTINATION=dir -P fetch_libjpeg_turbo.cmake
# Needs a deb-src entry for Debian's archive (scripts/install-deps.sh adds one).
if(EXISTS ${DESTINATION}/CMakeLists.txt)
  return()
endif()
set(download ${DESTINATION}-download)
file(REMOVE_RECURSE ${download} ${DESTINATION})
file(MAKE_DIRECTORY ${download})
execute_process(COMMAND apt-get source -q libjpeg-turbo WORKING_DIRECTORY ${download}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
file(GLOB unpacked LIST_DIRECTORIES true ${download}/libjpeg-turbo-*)
list(FILTER unpacked EXCLUDE REGEX "\\.(tar\\..*|dsc)$")
list(LENGTH unpacked found)
if(NOT rc EQUAL 0 OR NOT found EQUAL 1)
  message(FATAL_ERROR "apt-get source libjpeg-turbo failed (is there a deb-src line for "
                      "Debian's archive?):\n${out}\n${err}")
endif()
file(RENAME ${unpacked} ${DESTINATION})
file(REMOVE_RECURSE ${download})
