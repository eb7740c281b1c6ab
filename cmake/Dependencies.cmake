# Every dependency comes from a Debian package (scripts/setup installs them); the Windows
# build links the same libraries cross-built from Debian's source packages
# (scripts/windows-deps), found through the prefix the toolchain file names.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET
  libavformat libavcodec libavfilter libswresample libswscale libavutil)
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2 SDL2_ttf)
find_package(RapidJSON CONFIG QUIET)
find_path(RAPIDJSON_INCLUDE_DIR rapidjson/document.h REQUIRED)
find_path(STB_INCLUDE_DIR stb_image.h PATHS /usr/include/stb PATH_SUFFIXES stb REQUIRED)
find_package(pugixml REQUIRED)
# libyuv has no pkg-config file in Debian.
find_path(LIBYUV_INCLUDE_DIR libyuv.h REQUIRED)
find_library(LIBYUV_LIBRARY yuv REQUIRED)

if(WIN32)
  # Everything static (libgcc, libstdc++, winpthread included): the executables import only
  # DLLs of the system.
  add_link_options(-static)
  # SDL's header would rename main(); the program and the tests have their own entry points.
  add_compile_definitions(SDL_MAIN_HANDLED UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
else()
  pkg_check_modules(X11 REQUIRED IMPORTED_TARGET
    x11 x11-xcb xcb xcb-shm xcb-record xcb-randr xext xi xtst xrandr xfixes)
  pkg_check_modules(PULSE REQUIRED IMPORTED_TARGET libpulse)
  pkg_check_modules(FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)
endif()
