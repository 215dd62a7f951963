# Every Windows executable carries the program's icon, a version record and a manifest
# (the UTF-8 code page, per-monitor DPI awareness, no elevation).
#   tarnel_windows_resources(TARGET DESCRIPTION)
# The version record's numbers are the project's version; Explorer shows DESCRIPTION.
if(NOT WIN32)
    return()
endif()
enable_language(RC)

set(TARNEL_WINDOWS_PACKAGING ${CMAKE_CURRENT_LIST_DIR}/../packaging/windows)
cmake_path(NORMAL_PATH TARNEL_WINDOWS_PACKAGING)

function(tarnel_windows_resources target description)
    set(TARNEL_RC_NAME ${target})
    set(TARNEL_RC_DESCRIPTION ${description})
    set(TARNEL_RC_ICON ${TARNEL_WINDOWS_PACKAGING}/tarnel.ico)
    set(TARNEL_RC_MANIFEST ${CMAKE_BINARY_DIR}/generated/${target}.manifest)
    configure_file(${TARNEL_WINDOWS_PACKAGING}/Application.manifest.in ${TARNEL_RC_MANIFEST}
                   @ONLY)
    set(rc ${CMAKE_BINARY_DIR}/generated/${target}.rc)
    configure_file(${TARNEL_WINDOWS_PACKAGING}/Resources.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
    # windres does not see the files that the script names.
    set_source_files_properties(${rc} PROPERTIES
        OBJECT_DEPENDS "${TARNEL_RC_ICON};${TARNEL_RC_MANIFEST}")
endfunction()
