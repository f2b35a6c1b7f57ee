# Build switches shared by every target.

set(QTX_SANITIZE "" CACHE STRING "Sanitizers to build with: empty, 'address;undefined' or 'thread'")
option(QTX_FUZZ "Build the libFuzzer targets (needs clang)" OFF)
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
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "QTX_FUZZ needs clang (CC=clang CXX=clang++)")
    endif()
    # The sanitizers of the asan build, with the same flags, so that JUCE's objects are that
    # build's (the compiler cache serves them); coverage instrumentation goes on our own code
    # only (qtx::warnings), and only the fuzz targets link the fuzzer's main.
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -g)
    add_link_options(-fsanitize=address,undefined)
endif()

# Which platform/<name>/ folders are built: each folder with platform code keeps one per system.
if(WIN32)
    set(QTX_PLATFORM windows)
else()
    set(QTX_PLATFORM linux)
endif()
