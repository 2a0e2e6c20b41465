# SPDX-License-Identifier: MIT
# Cross-compiles for 64-bit Windows with Debian's MinGW-w64, the POSIX-thread variant (std::thread and
# std::mutex need it). Libraries and packages are looked for only in the MinGW tree and in the
# directories given as CMAKE_PREFIX_PATH (Qt for Windows, from scripts/windows-qt), never among the
# build machine's own. Qt's code generators (moc, rcc, uic) are the build machine's, from Debian's
# qt6-base-dev-tools, the same Qt version.
#   cmake -S . -B build-windows --toolchain cmake/mingw-w64.cmake -DCMAKE_PREFIX_PATH=<Qt for Windows>
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triplet}-windres)

list(APPEND CMAKE_FIND_ROOT_PATH /usr/${mingw_triplet} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

if(NOT QT_HOST_PATH)
  file(GLOB host_info /usr/lib/*/cmake/Qt6HostInfo)
  if(host_info)
    list(GET host_info 0 host_info)
    cmake_path(GET host_info PARENT_PATH host_cmake)
    set(QT_HOST_PATH /usr CACHE PATH "Where the build machine's Qt tools are")
    set(QT_HOST_PATH_CMAKE_DIR ${host_cmake} CACHE PATH "Where the build machine's Qt CMake files are")
  endif()
endif()
