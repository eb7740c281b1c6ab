# Cross build for Windows x86-64 with Debian's mingw-w64 toolchain (POSIX threads, for
# std::thread). SC_WINDOWS_DEPS is the prefix scripts/windows-deps prints: the static libraries
# the executable links. The tests run under Wine through scripts/lib/wine-emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(SC_WINDOWS_DEPS "" CACHE PATH "Prefix of the cross-built libraries (scripts/windows-deps)")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES SC_WINDOWS_DEPS)  # try_compile's projects too
if(NOT SC_WINDOWS_DEPS)
  message(FATAL_ERROR "Set SC_WINDOWS_DEPS to the prefix scripts/windows-deps prints")
endif()

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${SC_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config sees the cross-built libraries only (their .pc files list everything a static
# link needs), never the build machine's.
set(ENV{PKG_CONFIG_LIBDIR} ${SC_WINDOWS_DEPS}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/lib/wine-emulator)
