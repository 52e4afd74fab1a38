# The Windows player (quenmora-player.exe), cross-built with Debian's mingw-w64 compiler in a
# build configuration of its own, driven from this one: first libjpeg-turbo from Debian's source
# package (with its SIMD code, which needs nasm), then the player's libraries and the player,
# linked statically. The .exe lands in bin/ beside the Linux player, where `quenmora pack
# --target windows` finds it.
#
# QUENMORA_WINDOWS_PLAYER: AUTO builds it when the cross compiler, nasm and the libjpeg-turbo
# sources (Debian's deb-src entries, or QUENMORA_LIBJPEG_TURBO_SOURCE) are at hand; ON insists.
set(QUENMORA_WINDOWS_PLAYER AUTO CACHE STRING "Build the Windows player: AUTO, ON or OFF")
set(QUENMORA_LIBJPEG_TURBO_SOURCE "" CACHE PATH
    "An unpacked libjpeg-turbo source tree for the Windows player (else apt-get source)")

find_program(QUENMORA_MINGW_CXX x86_64-w64-mingw32-g++-posix)
find_program(QUENMORA_NASM nasm)
find_program(QUENMORA_APT_GET apt-get)

set(missing "")
if(NOT QUENMORA_MINGW_CXX)
  list(APPEND missing "x86_64-w64-mingw32-g++-posix (g++-mingw-w64-x86-64)")
endif()
if(NOT EXISTS /usr/x86_64-w64-mingw32/lib/libz.a)
  list(APPEND missing "zlib for Windows (libz-mingw-w64-dev)")
endif()
if(NOT QUENMORA_NASM)
  list(APPEND missing "nasm")
endif()
if(NOT QUENMORA_LIBJPEG_TURBO_SOURCE)
  execute_process(COMMAND apt-cache showsrc libjpeg-turbo RESULT_VARIABLE rc OUTPUT_VARIABLE out
                  ERROR_QUIET)
  if(NOT rc EQUAL 0 OR NOT out MATCHES "Package: libjpeg-turbo")
    list(APPEND missing "libjpeg-turbo's Debian sources (a deb-src line; scripts/install-deps.sh adds one)")
  endif()
endif()

if(QUENMORA_WINDOWS_PLAYER STREQUAL "AUTO")
  # Sanitizer and fuzzing builds instrument the Linux programs only: the Windows player comes
  # from the plain build.
  if(missing OR QUENMORA_SANITIZE OR QUENMORA_FUZZ)
    set(build_it OFF)
  else()
    set(build_it ON)
  endif()
elseif(QUENMORA_WINDOWS_PLAYER)
  if(missing)
    string(REPLACE ";" ", " missing "${missing}")
    message(FATAL_ERROR "The Windows player needs: ${missing}")
  endif()
  set(build_it ON)
else()
  set(build_it OFF)
endif()
if(NOT build_it)
  message(STATUS "Windows player: not built ${missing}")
  return()
endif()
message(STATUS "Windows player: built with ${QUENMORA_MINGW_CXX}")

include(ExternalProject)
set(windows_dir ${CMAKE_BINARY_DIR}/windows)
set(toolchain ${CMAKE_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake)
set(launchers "")
foreach(lang C CXX)
  if(CMAKE_${lang}_COMPILER_LAUNCHER)
    list(APPEND launchers -DCMAKE_${lang}_COMPILER_LAUNCHER=${CMAKE_${lang}_COMPILER_LAUNCHER})
  endif()
endforeach()
cmake_host_system_information(RESULT cores QUERY NUMBER_OF_LOGICAL_CORES)

if(QUENMORA_LIBJPEG_TURBO_SOURCE)
  set(jpeg_source ${QUENMORA_LIBJPEG_TURBO_SOURCE})
  set(jpeg_download DOWNLOAD_COMMAND "")
else()
  set(jpeg_source ${windows_dir}/libjpeg-turbo-source)
  set(jpeg_download DOWNLOAD_COMMAND ${CMAKE_COMMAND} -DDESTINATION=${jpeg_source}
                    -P ${CMAKE_SOURCE_DIR}/cmake/fetch_libjpeg_turbo.cmake)
endif()
set(jpeg_binary ${windows_dir}/libjpeg-turbo-build)
ExternalProject_Add(windows_libjpeg_turbo
  PREFIX ${windows_dir}/libjpeg-turbo
  ${jpeg_download}
  SOURCE_DIR ${jpeg_source}
  BINARY_DIR ${jpeg_binary}
  CMAKE_ARGS -G Ninja -DCMAKE_TOOLCHAIN_FILE=${toolchain} -DCMAKE_BUILD_TYPE=Release
             -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON
             -DCMAKE_ASM_NASM_COMPILER=${QUENMORA_NASM}
             -DCMAKE_INSTALL_PREFIX=${windows_dir}/libjpeg-turbo-install ${launchers}
  BUILD_COMMAND ${CMAKE_COMMAND} --build ${jpeg_binary} --target jpeg-static -j ${cores}
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${jpeg_binary}/libjpeg.a)

# The player's own configuration builds again whenever the main build runs (it is quick when
# nothing changed), so edits to the sources reach the .exe.
ExternalProject_Add(windows_player
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${windows_dir}/build
  LIST_SEPARATOR |
  CMAKE_ARGS -G Ninja -DCMAKE_TOOLCHAIN_FILE=${toolchain} -DCMAKE_BUILD_TYPE=Release
             -DQUENMORA_WERROR=${QUENMORA_WERROR} -DQUENMORA_TESTS=OFF
             -DJPEG_INCLUDE_DIR=${jpeg_source}|${jpeg_binary}
             -DJPEG_LIBRARY=${jpeg_binary}/libjpeg.a
             -DQUENMORA_WINDOWS_OUTPUT_DIR=${CMAKE_BINARY_DIR}/bin
             -DQUENMORA_WINDOWS_HELPER_DIR=${windows_dir}/bin ${launchers}
  BUILD_COMMAND ${CMAKE_COMMAND} --build ${windows_dir}/build -j ${cores}
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  DEPENDS windows_libjpeg_turbo
  BUILD_BYPRODUCTS ${CMAKE_BINARY_DIR}/bin/quenmora-player.exe)

set(QUENMORA_WINDOWS_PLAYER_EXE ${CMAKE_BINARY_DIR}/bin/quenmora-player.exe)
set(QUENMORA_WINDOWS_HELPER_DIR ${windows_dir}/bin)
install(PROGRAMS ${QUENMORA_WINDOWS_PLAYER_EXE} DESTINATION ${QUENMORA_PLAYER_INSTALL_DIR})
