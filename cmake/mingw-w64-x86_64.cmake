# Cross toolchain for 64-bit Windows: mingw-w64 with the posix threads model.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KVT_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KVT_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KVT_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KVT_MINGW_PREFIX}-windres)
set(CMAKE_STRIP ${KVT_MINGW_PREFIX}-strip)
set(CMAKE_OBJDUMP ${KVT_MINGW_PREFIX}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${KVT_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The executables must run on a bare Windows: no libstdc++, libgcc or winpthread DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
