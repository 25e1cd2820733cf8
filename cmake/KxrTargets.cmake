# Helpers shared by every target of the project.
include(GenerateExportHeader)

# Where the generated export headers go; consumers include them as kxr/<name>_export.h.
set(KXR_GENERATED_INCLUDE_DIR ${CMAKE_BINARY_DIR}/generated/include)

# Our own code builds without a single warning.
function(kxr_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# A shared library with a C interface in include/kxr/<header>.h and its
# export macro <PREFIX>_EXPORT.
function(kxr_shared_library target prefix header)
    add_library(${target} SHARED ${ARGN})
    kxr_warnings(${target})
    generate_export_header(${target}
        BASE_NAME ${prefix}
        EXPORT_FILE_NAME ${KXR_GENERATED_INCLUDE_DIR}/kxr/${header}_export.h)
    target_include_directories(${target} PUBLIC
        ${PROJECT_SOURCE_DIR}/include ${KXR_GENERATED_INCLUDE_DIR})
endfunction()

# Windows libraries carry their product names (RVUtil.dll, kxrengine.dll),
# without the "lib" that MinGW would put in front.
if(WIN32)
    set(CMAKE_SHARED_LIBRARY_PREFIX "")
    set(CMAKE_SHARED_MODULE_PREFIX "")
endif()
