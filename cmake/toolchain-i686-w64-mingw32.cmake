# The shipped build: 32-bit Windows, win32 thread model (the posix runtime
# imports functions that Windows 2000 and XP lack).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(QBX_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${QBX_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${QBX_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER ${QBX_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QBX_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
