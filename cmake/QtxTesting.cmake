# Helpers for tests, fuzz targets and benchmarks.

if(QTX_BUILD_TESTS)
    if(CMAKE_CROSSCOMPILING AND WIN32)
        # No prebuilt GoogleTest for the target: Debian's sources are built with the rest.
        set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
        add_subdirectory(/usr/src/googletest "${PROJECT_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
        foreach(lib gtest gtest_main gmock)
            if(NOT TARGET GTest::${lib})
                add_library(GTest::${lib} ALIAS ${lib})
            endif()
        endforeach()
    else()
        find_package(GTest REQUIRED)
    endif()
    include(GoogleTest)
endif()

# qtx_add_gtest(<name> SOURCES <src>... [LIBS <lib>...] [LABELS <label>...]
#               [ENVIRONMENT <VAR=value>...] [LAUNCHER <cmd>...] [TIMEOUT <s>]
#               [RESOURCE_LOCK <name>...])
# Each test case becomes its own CTest test (discovered after build).
# Tests that take devlink's machine-wide single-client lock (a real
# HID_Initialize) must say RESOURCE_LOCK devlink_system_lock, so ctest -j never runs two at once.
function(qtx_add_gtest name)
    if(NOT QTX_BUILD_TESTS)
        return()
    endif()
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS;ENVIRONMENT;LAUNCHER;RESOURCE_LOCK" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock qtx::warnings)
    # The threaded and end-to-end suites, as scripts/test --tsan picks them (qtx_add_test_groups).
    if(ARG_LABELS MATCHES "threads|e2e" AND NOT ARG_LABELS MATCHES "e2e-ui")
        set_property(GLOBAL APPEND PROPERTY QTX_THREADED_TESTS ${name})
    endif()
    set(props TIMEOUT ${ARG_TIMEOUT})
    if(ARG_LABELS)
        list(APPEND props LABELS "${ARG_LABELS}")
    endif()
    if(ARG_ENVIRONMENT)
        list(APPEND props ENVIRONMENT "${ARG_ENVIRONMENT}")
    endif()
    if(ARG_RESOURCE_LOCK)
        list(APPEND props RESOURCE_LOCK "${ARG_RESOURCE_LOCK}")
    endif()
    set(launcher "")
    if(ARG_LAUNCHER)
        set(launcher CROSSCOMPILING_EMULATOR "${ARG_LAUNCHER}")
        set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR "${ARG_LAUNCHER}")
    endif()
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60
        PROPERTIES ${props})
endfunction()

# qtx_add_fuzzer(<name> SOURCES <src>... [LIBS <lib>...])
# Only in a QTX_FUZZ build (the asan preset), and not part of `all`: scripts/fuzz builds
# the target `fuzzers` and runs every fuzz_* target with its corpus from
# tests/fuzz/corpus/<name without fuzz_>.
function(qtx_add_fuzzer name)
    if(NOT QTX_FUZZ)
        return()
    endif()
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} EXCLUDE_FROM_ALL ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} qtx::warnings)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${PROJECT_BINARY_DIR}/fuzz")
    set_property(GLOBAL APPEND PROPERTY QTX_FUZZERS ${name})
endfunction()

# qtx_add_test_groups(): after every test is declared, the target `threaded_tests`
# builds just the suites that the ThreadSanitizer run takes.
function(qtx_add_test_groups)
    get_property(threaded GLOBAL PROPERTY QTX_THREADED_TESTS)
    if(threaded)
        add_custom_target(threaded_tests DEPENDS ${threaded})
    endif()
endfunction()

# qtx_add_bench(<name> SOURCES <src>... [LIBS <lib>...])
# A benchmark program bench_<name>, run by `scripts/bench <name>`; it prints
# one "metric: value" line per figure. Not part of `all`: the target `benchmarks`
# (built by scripts/bench) collects them.
function(qtx_add_bench name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(bench_${name} EXCLUDE_FROM_ALL ${ARG_SOURCES})
    if(NOT TARGET benchmarks)
        add_custom_target(benchmarks)
    endif()
    add_dependencies(benchmarks bench_${name})
    target_link_libraries(bench_${name} PRIVATE ${ARG_LIBS} qtx::warnings)
    set_target_properties(bench_${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${PROJECT_BINARY_DIR}/bench")
endfunction()
