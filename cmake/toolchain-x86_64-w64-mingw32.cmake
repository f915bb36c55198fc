# The test build: 64-bit Windows code run under wine64. GoogleTest needs the
# posix thread model (std::mutex), so the whole build uses it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(QBX_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QBX_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QBX_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QBX_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QBX_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# wine64, or the Wine that QBX_WINE names when the tests run.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-emulator.sh)
