# Cross-building for 64-bit Windows with MinGW-w64 (Debian's g++-mingw-w64-x86-64-posix).
# Executables are linked statically so that each runs alone; CTest runs them under Wine.
# The window's build sets TARNEL_MINGW_STATIC=OFF: its executables share the C++ runtime
# DLLs with the Qt DLLs, which were built against them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TARNEL_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TARNEL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARNEL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TARNEL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TARNEL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

if(NOT DEFINED TARNEL_MINGW_STATIC OR TARNEL_MINGW_STATIC)
    set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
    set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
endif()

find_program(TARNEL_WINE wine)
if(TARNEL_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TARNEL_WINE})
endif()
