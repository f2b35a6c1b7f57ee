# Cross build for 64-bit Windows with Debian's mingw-w64 (posix thread model, so
# std::thread and std::mutex work), run under wine where a program must run here.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QTX_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QTX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QTX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QTX_MINGW_TRIPLE}-windres)

# Static libraries cross-built from Debian's sources (libpng, libjpeg-turbo) live
# beside Debian's mingw sysroot; QTX_MINGW_DEPS names their prefix.
if(NOT QTX_MINGW_DEPS AND DEFINED ENV{QTX_MINGW_DEPS})
    set(QTX_MINGW_DEPS "$ENV{QTX_MINGW_DEPS}")
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${QTX_MINGW_TRIPLE} ${QTX_MINGW_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs (and gtest's discovery at build time) run through wine.
find_program(QTX_WINE wine PATHS /usr/bin NO_CMAKE_FIND_ROOT_PATH)
if(QTX_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR "${QTX_WINE}")
endif()

# Nothing but system DLLs beside our own: libgcc, libstdc++ and winpthread go in statically.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
