# Cross-compiles xev.exe for 64-bit Windows with MinGW-w64 (Debian package
# g++-mingw-w64-x86-64). The executable is linked statically, so it needs
# nothing on the Windows side beyond the system's own DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(XEV_MINGW_PREFIX x86_64-w64-mingw32 CACHE STRING "MinGW-w64 tool prefix")

set(CMAKE_C_COMPILER ${XEV_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${XEV_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${XEV_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${XEV_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
