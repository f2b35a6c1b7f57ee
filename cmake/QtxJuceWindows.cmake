# The image libraries that Debian's JUCE leaves to the system, for the Windows cross
# build: libpng and libjpeg-turbo as cross-built by scripts/windows-deps (prefix
# QTX_MINGW_DEPS), zlib from Debian's mingw package. Static archives only, so the
# program needs no DLL of theirs; libpng needs zlib, so the order is png, jpeg, z.
foreach(lib png16 jpeg z)
    find_library(QTX_MINGW_${lib} NAMES lib${lib}.a REQUIRED)
endforeach()
find_path(QTX_MINGW_IMAGE_INCLUDES NAMES png.h jpeglib.h jpegint.h REQUIRED)
add_library(qtx_juce_image_libs INTERFACE)
add_library(qtx::juce_image_libs ALIAS qtx_juce_image_libs)
target_include_directories(qtx_juce_image_libs SYSTEM INTERFACE "${QTX_MINGW_IMAGE_INCLUDES}")
target_link_libraries(qtx_juce_image_libs INTERFACE ${QTX_MINGW_png16} ${QTX_MINGW_jpeg} ${QTX_MINGW_z})
