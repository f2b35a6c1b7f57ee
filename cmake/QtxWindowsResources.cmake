# qtx_windows_resources(<target> PRODUCT <name> DESCRIPTION <text> [ICON] [MANIFEST])
# Windows only (elsewhere nothing): gives a program or DLL its version record (the project's
# version, the product name and a file description, as Explorer's Properties show them);
# ICON adds the program's icon, the PNGs of the Linux menu entry as they are (Windows reads
# PNG icon images since Vista), so no .ico is kept; MANIFEST adds the application manifest
# (supported systems, per-monitor DPI awareness).
if(WIN32)
    enable_language(RC)
endif()

set(QTX_WINDOWS_RESOURCES_DIR "${PROJECT_SOURCE_DIR}/packaging/windows")
set(QTX_ICON_SIZES 16 24 32 48 64 128 256)

function(qtx_windows_resources target)
    if(NOT WIN32)
        return()
    endif()
    cmake_parse_arguments(ARG "ICON;MANIFEST" "PRODUCT;DESCRIPTION" "" ${ARGN})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
        set(QTX_RC_FILE_TYPE VFT_APP)
        set(QTX_RC_FILE_NAME "${target}.exe")
    else()
        set(QTX_RC_FILE_TYPE VFT_DLL)
        set(QTX_RC_FILE_NAME "${target}.dll")
    endif()
    set(QTX_RC_TARGET "${target}")
    set(QTX_RC_PRODUCT "${ARG_PRODUCT}")
    set(QTX_RC_DESCRIPTION "${ARG_DESCRIPTION}")
    string(REPLACE "." "," QTX_RC_VERSION_NUMBERS "${PROJECT_VERSION}")

    set(QTX_RC_EXTRA "")
    if(ARG_ICON)
        # One RT_ICON (3) per image, and the group (RT_GROUP_ICON, 14) that lists them:
        # per image a width and height byte (0 for 256), no palette, 1 plane, 32 bits, its
        # size in bytes and its resource number. In raw data a number is a WORD, with L a DWORD.
        set(images "")
        list(LENGTH QTX_ICON_SIZES count)
        set(group "0, 1, ${count}")
        set(id 100)
        foreach(size ${QTX_ICON_SIZES})
            math(EXPR id "${id} + 1")
            set(png "${PROJECT_SOURCE_DIR}/resources/desktop/icons/${size}.png")
            set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${png}")
            file(SIZE "${png}" bytes)
            math(EXPR side "${size} % 256")
            math(EXPR sides "${side} * 257" OUTPUT_FORMAT HEXADECIMAL)
            string(APPEND images "${id} 3 \"${png}\"\n")
            string(APPEND group ",\n    ${sides}, 0, 1, 32, ${bytes}L, ${id}")
        endforeach()
        string(APPEND QTX_RC_EXTRA "${images}1 14\n{\n    ${group}\n}\n")
    endif()
    if(ARG_MANIFEST)
        # CREATEPROCESS_MANIFEST_RESOURCE_ID (1) of RT_MANIFEST (24).
        string(APPEND QTX_RC_EXTRA "1 24 \"${QTX_WINDOWS_RESOURCES_DIR}/program.manifest\"\n")
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
            "${QTX_WINDOWS_RESOURCES_DIR}/program.manifest")
    endif()

    set(rc "${CMAKE_CURRENT_BINARY_DIR}/${target}.rc")
    configure_file("${QTX_WINDOWS_RESOURCES_DIR}/resources.rc.in" "${rc}" @ONLY)
    target_sources(${target} PRIVATE "${rc}")
endfunction()
