# qtx_embed_files(TARGET <lib> NAMESPACE <ns> FILES <f>...)
#
# Compiles files into a static library as read-only byte arrays. For each file
# "dir/name.ext" the header <lib>.h declares
#     extern const unsigned char <ns>::name_ext[];  extern const unsigned int <ns>::name_extSize;
# (non-identifier characters become '_'). No external tool is needed: the
# conversion runs in CMake script mode at build time.

set(QTX_EMBED_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/QtxEmbedOne.cmake")

function(qtx_embed_files)
    cmake_parse_arguments(ARG "" "TARGET;NAMESPACE" "FILES" ${ARGN})
    set(out_dir "${CMAKE_CURRENT_BINARY_DIR}/${ARG_TARGET}_embedded")
    set(header "${out_dir}/${ARG_TARGET}.h")
    set(header_text "#pragma once\n\nnamespace ${ARG_NAMESPACE}\n{\n")
    set(sources "")
    foreach(file IN LISTS ARG_FILES)
        get_filename_component(abs "${file}" ABSOLUTE)
        get_filename_component(name "${file}" NAME)
        string(MAKE_C_IDENTIFIER "${name}" symbol)
        set(cpp "${out_dir}/${symbol}.cpp")
        add_custom_command(
            OUTPUT "${cpp}"
            COMMAND "${CMAKE_COMMAND}" -DINPUT=${abs} -DOUTPUT=${cpp} -DSYMBOL=${symbol}
                    -DNAMESPACE=${ARG_NAMESPACE} -P "${QTX_EMBED_SCRIPT}"
            DEPENDS "${abs}" "${QTX_EMBED_SCRIPT}"
            COMMENT "Embedding ${name}"
            VERBATIM)
        list(APPEND sources "${cpp}")
        string(APPEND header_text "    extern const unsigned char ${symbol}[];\n    extern const unsigned int ${symbol}Size;\n")
    endforeach()
    string(APPEND header_text "} // namespace ${ARG_NAMESPACE}\n")
    file(CONFIGURE OUTPUT "${header}" CONTENT "${header_text}")
    add_library(${ARG_TARGET} STATIC ${sources})
    target_include_directories(${ARG_TARGET} PUBLIC "${out_dir}")
endfunction()
