# Cross build for 64-bit Windows with Debian's MinGW-w64, posix thread model
# (the win32 model has no std::thread). Libraries that Debian does not ship
# for MinGW (TinyXML, GoogleTest, toml++, nlohmann/json) come from a private prefix that
# scripts/install-windows-deps builds from Debian's own sources.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KXR_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KXR_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KXR_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KXR_MINGW_TRIPLET}-windres)

# The private prefix; the environment may move it (the dependency script
# builds GoogleTest with this file before the project is configured).
if(DEFINED ENV{KXR_MINGW_PREFIX})
    set(KXR_MINGW_PREFIX "$ENV{KXR_MINGW_PREFIX}")
else()
    get_filename_component(KXR_MINGW_PREFIX "${CMAKE_CURRENT_LIST_DIR}/../build/windows-deps"
                           ABSOLUTE)
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${KXR_MINGW_TRIPLET} ${KXR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
list(APPEND CMAKE_PREFIX_PATH ${KXR_MINGW_PREFIX})

# pkg-config sees the private prefix only, never the build machine's .pc
# files: FFmpeg is not there, so its users take their no-FFmpeg path.
set(ENV{PKG_CONFIG_LIBDIR} "${KXR_MINGW_PREFIX}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# Every binary carries its own C++ runtime and thread library, so it imports
# only DLLs that come with Windows.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine, in the prefix that scripts/wine-run is given.
get_filename_component(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run"
                       ABSOLUTE)
