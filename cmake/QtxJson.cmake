# qtx::json: Debian's nlohmann-json (header-only). The native build takes its CMake
# package. The mingw build cannot put the host's /usr/include on its path (glibc's
# headers would shadow mingw's), so it gets a folder of its own in the build tree that
# holds only a link to the host's nlohmann/ folder.
if(TARGET qtx::json)
    return()
endif()
add_library(qtx_json INTERFACE)
add_library(qtx::json ALIAS qtx_json)
if(CMAKE_CROSSCOMPILING)
    find_path(QTX_NLOHMANN_JSON_DIR nlohmann/json.hpp PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    if(NOT QTX_NLOHMANN_JSON_DIR)
        message(FATAL_ERROR "nlohmann/json.hpp not found: install nlohmann-json3-dev (scripts/setup)")
    endif()
    set(json_include "${PROJECT_BINARY_DIR}/nlohmann-json/include")
    file(MAKE_DIRECTORY "${json_include}")
    file(CREATE_LINK "${QTX_NLOHMANN_JSON_DIR}/nlohmann" "${json_include}/nlohmann" SYMBOLIC)
    target_include_directories(qtx_json SYSTEM INTERFACE "${json_include}")
else()
    find_package(nlohmann_json 3.10 CONFIG REQUIRED)
    target_link_libraries(qtx_json INTERFACE nlohmann_json::nlohmann_json)
endif()
