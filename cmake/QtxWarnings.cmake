# Warnings are errors on our own code only; JUCE's sources are compiled without them.
add_library(qtx_warnings INTERFACE)
add_library(qtx::warnings ALIAS qtx_warnings)
target_compile_options(qtx_warnings INTERFACE -Wall -Wextra -Werror)

# UB in our own code is a failure, not a message (JUCE's code keeps the default: report and go on).
if("undefined" IN_LIST QTX_SANITIZE)
    target_compile_options(qtx_warnings INTERFACE -fno-sanitize-recover=undefined)
endif()

# Fuzz builds: coverage feedback from our own code, which is what the fuzzers explore.
if(QTX_FUZZ)
    target_compile_options(qtx_warnings INTERFACE -fsanitize=fuzzer-no-link)
endif()
