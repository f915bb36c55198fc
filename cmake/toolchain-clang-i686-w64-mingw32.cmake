# A second compiler for the product code, as a portability check: Debian's
# clang for 32-bit Windows with the MinGW-w64 headers, C++ library and linker
# of the shipped build. Clang does not find Debian's win32-thread-model C++
# headers by itself, so they are named here. What ships is the GCC build.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(QBX_TRIPLE i686-w64-mingw32)
file(GLOB QBX_GCC_DIR LIST_DIRECTORIES true /usr/lib/gcc/${QBX_TRIPLE}/*-win32)
if(NOT QBX_GCC_DIR)
    message(FATAL_ERROR "no ${QBX_TRIPLE} win32-thread-model GCC in /usr/lib/gcc (g++-mingw-w64-i686-win32)")
endif()
list(GET QBX_GCC_DIR 0 QBX_GCC_DIR)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${QBX_TRIPLE})
set(CMAKE_CXX_COMPILER_TARGET ${QBX_TRIPLE})
set(CMAKE_SYSROOT /usr/${QBX_TRIPLE})
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES ${QBX_GCC_DIR}/include/c++ ${QBX_GCC_DIR}/include/c++/${QBX_TRIPLE})
set(CMAKE_EXE_LINKER_FLAGS_INIT "-L${QBX_GCC_DIR}")
set(CMAKE_RC_COMPILER ${QBX_TRIPLE}-windres)
# GNU dlltool: the delay-import libraries are made with its --output-delaylib.
set(CMAKE_DLLTOOL ${QBX_TRIPLE}-dlltool)
set(CMAKE_FIND_ROOT_PATH /usr/${QBX_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
