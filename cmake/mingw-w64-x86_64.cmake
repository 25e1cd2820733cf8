# Cross build for 64-bit Windows with Debian's MinGW-w64, posix thread model
# (the win32 model has no std::thread). Libraries that Debian does not ship
# for MinGW come from private prefixes built from Debian's own sources:
# TinyXML, GoogleTest, libcurl, toml++ and nlohmann/json by
# scripts/install-windows-deps, FFmpeg by scripts/build-windows-ffmpeg.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KXR_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KXR_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KXR_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KXR_MINGW_TRIPLET}-windres)

# The private prefixes; the environment may move them (the dependency script
# builds GoogleTest with this file before the project is configured).
if(DEFINED ENV{KXR_MINGW_PREFIX})
    set(KXR_MINGW_PREFIX "$ENV{KXR_MINGW_PREFIX}")
else()
    get_filename_component(KXR_MINGW_PREFIX "${CMAKE_CURRENT_LIST_DIR}/../build/windows-deps"
                           ABSOLUTE)
endif()
if(DEFINED ENV{KXR_MINGW_FFMPEG_PREFIX})
    set(KXR_MINGW_FFMPEG_PREFIX "$ENV{KXR_MINGW_FFMPEG_PREFIX}")
else()
    get_filename_component(KXR_MINGW_FFMPEG_PREFIX
                           "${CMAKE_CURRENT_LIST_DIR}/../build/windows-ffmpeg" ABSOLUTE)
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${KXR_MINGW_TRIPLET} ${KXR_MINGW_PREFIX} ${KXR_MINGW_FFMPEG_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
list(APPEND CMAKE_PREFIX_PATH ${KXR_MINGW_PREFIX})

# pkg-config sees the private prefixes only, never the build machine's .pc
# files, which describe Linux libraries.
set(ENV{PKG_CONFIG_LIBDIR}
    "${KXR_MINGW_PREFIX}/lib/pkgconfig:${KXR_MINGW_FFMPEG_PREFIX}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# Every binary carries its own C++ runtime and thread library, so it imports
# only DLLs that come with Windows, the support libraries and FFmpeg's.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine, in the prefix that scripts/wine-run is given.
get_filename_component(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run"
                       ABSOLUTE)
