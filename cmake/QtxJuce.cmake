# JUCE from Debian's juce-modules-source, compiled once into one static library
# (qtx::juce) that the program, the tools and the tests all link.

if(CMAKE_CROSSCOMPILING AND WIN32)
    # Debian's config names the host's juceaide, which is the tool a cross build needs.
    find_package(JUCE 7.0.5 CONFIG REQUIRED PATHS /usr/lib/x86_64-linux-gnu/cmake NO_CMAKE_FIND_ROOT_PATH)
    include(QtxJuceWindows)
else()
    find_package(JUCE 7.0.5 CONFIG REQUIRED)
    find_package(ZLIB REQUIRED)
endif()

add_library(qtx_juce STATIC)
add_library(qtx::juce ALIAS qtx_juce)

target_link_libraries(qtx_juce
    PRIVATE
        juce::juce_core
        juce::juce_events
        juce::juce_data_structures
        juce::juce_graphics
        juce::juce_gui_basics)
if(WIN32)
    target_link_libraries(qtx_juce PUBLIC qtx::juce_image_libs)
else()
    target_link_libraries(qtx_juce PUBLIC ZLIB::ZLIB juce::pkgconfig_JUCE_IMG_LINUX_DEPS)
endif()

set(QTX_JUCE_DEFINITIONS
    JUCE_USE_CURL=0
    JUCE_WEB_BROWSER=0
    JUCE_DISPLAY_SPLASH_SCREEN=0
    JUCE_REPORT_APP_USAGE=0
    JUCE_STANDALONE_APPLICATION=1
    JUCE_GLOBAL_MODULE_SETTINGS_INCLUDED=1
    JUCE_MODAL_LOOPS_PERMITTED=0
    JUCE_STRICT_REFCOUNTEDPOINTER=1
    JUCE_USE_XSHM=1)
target_compile_definitions(qtx_juce PUBLIC ${QTX_JUCE_DEFINITIONS})

# Forward what the module targets would give a direct consumer, without their sources.
foreach(module juce_core juce_events juce_data_structures juce_graphics juce_gui_basics)
    target_include_directories(qtx_juce SYSTEM PUBLIC
        $<TARGET_PROPERTY:juce::${module},INTERFACE_INCLUDE_DIRECTORIES>)
    target_compile_definitions(qtx_juce PUBLIC
        $<TARGET_PROPERTY:juce::${module},INTERFACE_COMPILE_DEFINITIONS>)
endforeach()

# JUCE's own sources trip GCC 12 warnings we cannot fix; keep them quiet.
target_compile_options(qtx_juce PRIVATE -w)

# JUCE opens the X libraries at run time and closes them at exit, after which the
# leak checker can neither name nor suppress what they still held. Sanitizer
# builds link them, so they stay loaded to the end.
if(QTX_SANITIZE)
    find_package(X11 REQUIRED)
    target_link_libraries(qtx_juce PUBLIC
        "-Wl,--push-state,--no-as-needed"
        X11::X11 X11::Xext X11::Xcursor X11::Xrandr X11::Xinerama X11::Xrender
        "-Wl,--pop-state")
endif()
