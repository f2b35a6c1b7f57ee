# Makes the Windows zip: a folder QtxUpdate that a user unpacks and runs, holding
# QtxUpdate.exe, devlink.dll, qtx-update.exe when it was built, the update package when
# given (as QTX-ORB9_UP.upd, where the program looks for it) and ReadMe.txt (CR LF ends,
# so that Notepad on any Windows shows its lines). STRIP (the mingw strip) takes the
# symbols out of the copies, which halves them.
#   cmake -DBIN=<build-windows/bin> -DOUT=<file.zip> -DVERSION=<x.y.z.w>
#         [-DUPDATE_PACKAGE=<file>] [-DSTRIP=<strip>] -P packaging/windows/zip.cmake
foreach(required BIN OUT VERSION)
    if(NOT ${required})
        message(FATAL_ERROR "zip.cmake: ${required} not given")
    endif()
endforeach()

set(stage "${OUT}.stage")
set(folder "${stage}/QtxUpdate")
file(REMOVE_RECURSE "${stage}")
file(MAKE_DIRECTORY "${folder}")

# What each file is, for the read-me; the files the read-me lists are the ones shipped.
set(QTX_VERSION "${VERSION}")
set(QTX_README_FILES "")
set(QTX_README_CLI "")
foreach(file QtxUpdate.exe devlink.dll)
    if(NOT EXISTS "${BIN}/${file}")
        message(FATAL_ERROR "zip.cmake: ${BIN}/${file} is missing; build first")
    endif()
    file(COPY "${BIN}/${file}" DESTINATION "${folder}")
endforeach()
if(EXISTS "${BIN}/qtx-update.exe")
    file(COPY "${BIN}/qtx-update.exe" DESTINATION "${folder}")
    string(APPEND QTX_README_FILES "  qtx-update.exe    the same update without a window, for a command prompt\n")
    set(QTX_README_CLI "\n  Without a window, in a command prompt in this folder: qtx-update.exe\n"
                       "  (qtx-update.exe --help tells its options).\n")
    list(JOIN QTX_README_CLI "" QTX_README_CLI)
endif()
if(UPDATE_PACKAGE)
    if(NOT EXISTS "${UPDATE_PACKAGE}")
        message(FATAL_ERROR "zip.cmake: no such file: ${UPDATE_PACKAGE}")
    endif()
    file(COPY_FILE "${UPDATE_PACKAGE}" "${folder}/QTX-ORB9_UP.upd")
    string(APPEND QTX_README_FILES "  QTX-ORB9_UP.upd   the firmware update package\n")
    set(QTX_README_PACKAGE "  2. The update package, QTX-ORB9_UP.upd, is already beside the program.\n")
else()
    set(QTX_README_PACKAGE "  2. Put the update package QTX-ORB9_UP.upd beside QtxUpdate.exe.\n")
endif()

if(STRIP)
    file(GLOB binaries "${folder}/*.exe" "${folder}/*.dll")
    execute_process(COMMAND "${STRIP}" ${binaries} RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "zip.cmake: ${STRIP} failed")
    endif()
endif()

configure_file("${CMAKE_CURRENT_LIST_DIR}/ReadMe.txt.in" "${stage}/ReadMe.txt" @ONLY)
file(READ "${stage}/ReadMe.txt" text)
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${folder}/ReadMe.txt" "${text}")

file(REMOVE "${OUT}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${OUT}" --format=zip QtxUpdate
    WORKING_DIRECTORY "${stage}" RESULT_VARIABLE failed)
file(REMOVE_RECURSE "${stage}")
if(failed)
    message(FATAL_ERROR "zip.cmake: the zip could not be written")
endif()
