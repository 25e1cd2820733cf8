# FFmpeg, the media library of Reelio and the engine's pictures. On Linux
# the system's libraries; on Windows the DLLs scripts/build-windows-ffmpeg
# builds, which go beside the binaries so that every program and test finds
# them and an installation can replace them.
find_package(PkgConfig REQUIRED)
pkg_check_modules(KXR_AV REQUIRED IMPORTED_TARGET GLOBAL libavformat libavcodec libavutil)
pkg_check_modules(KXR_SWSCALE REQUIRED IMPORTED_TARGET GLOBAL libswscale)

# kxr_ffmpeg: demuxing and decoding; kxr_ffmpeg_scale adds scaling.
add_library(kxr_ffmpeg INTERFACE)
target_link_libraries(kxr_ffmpeg INTERFACE PkgConfig::KXR_AV)
add_library(kxr_ffmpeg_scale INTERFACE)
target_link_libraries(kxr_ffmpeg_scale INTERFACE kxr_ffmpeg PkgConfig::KXR_SWSCALE)

if(WIN32)
    if(NOT CMAKE_RUNTIME_OUTPUT_DIRECTORY)
        message(FATAL_ERROR "The Windows build puts its binaries and the FFmpeg DLLs into one "
                            "directory: set CMAKE_RUNTIME_OUTPUT_DIRECTORY (the mingw preset does)")
    endif()
    pkg_get_variable(kxr_ffmpeg_prefix libavutil prefix)
    set(kxr_ffmpeg_dlls)
    foreach(lib avformat avcodec avutil swscale)
        file(GLOB dll "${kxr_ffmpeg_prefix}/bin/${lib}-*.dll")
        list(LENGTH dll count)
        if(NOT count EQUAL 1)
            message(FATAL_ERROR "Expected one ${lib} DLL in ${kxr_ffmpeg_prefix}/bin, found: ${dll}")
        endif()
        list(APPEND kxr_ffmpeg_dlls ${dll})
    endforeach()
    set(copies)
    foreach(dll IN LISTS kxr_ffmpeg_dlls)
        get_filename_component(name ${dll} NAME)
        list(APPEND copies ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${name})
    endforeach()
    add_custom_command(OUTPUT ${copies}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${kxr_ffmpeg_dlls}
                ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
        DEPENDS ${kxr_ffmpeg_dlls}
        COMMENT "FFmpeg DLLs beside the binaries"
        VERBATIM)
    add_custom_target(kxr_ffmpeg_dlls DEPENDS ${copies})
    add_dependencies(kxr_ffmpeg kxr_ffmpeg_dlls)
    unset(copies)
    unset(dll)
    unset(count)
endif()
