# Cross-building for 64-bit Windows with Debian's MinGW-w64 toolchain (the POSIX threads variant,
# which std::thread and std::mutex need). Programs and the module link the C++ runtime statically,
# so they need nothing from the build machine: only Windows itself and its C runtime DLL.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(vela_mingw_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${vela_mingw_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${vela_mingw_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${vela_mingw_triple}-windres)

# Libraries and headers come from the toolchain's own sysroot only, never from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${vela_mingw_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
