# Build switches shared by every target.

set(QTX_SANITIZE "" CACHE STRING "Sanitizers to build with: empty, 'address;undefined' or 'thread'")
option(QTX_FUZZ "Also build the libFuzzer targets (clang with ASan: the asan preset)" OFF)
option(QTX_BUILD_TESTS "Build the test suite" ON)

find_program(QTX_CCACHE ccache)
if(QTX_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
    set(CMAKE_C_COMPILER_LAUNCHER "${QTX_CCACHE}")
    set(CMAKE_CXX_COMPILER_LAUNCHER "${QTX_CCACHE}")
endif()

if(QTX_SANITIZE)
    string(REPLACE ";" "," _qtx_san "${QTX_SANITIZE}")
    add_compile_options(-fsanitize=${_qtx_san} -fno-omit-frame-pointer -g)
    add_link_options(-fsanitize=${_qtx_san})
endif()

if(QTX_FUZZ)
    # The fuzz targets live in the ASan + UBSan build (the asan preset), on the same
    # libraries as its tests, with our code instrumented for coverage (qtx::warnings).
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang" OR NOT "address" IN_LIST QTX_SANITIZE)
        message(FATAL_ERROR "QTX_FUZZ needs clang and QTX_SANITIZE with address (the asan preset)")
    endif()
endif()

# Which platform/<name>/ folders are built: each folder with platform code keeps one per system.
if(WIN32)
    set(QTX_PLATFORM windows)
else()
    set(QTX_PLATFORM linux)
endif()
