# Installation and the Debian packages that cpack builds from it:
#   tarnel-cli  what a host without a desktop needs (a production jig, no Qt): tarnel-cli,
#               tarnel-adapters, the udev rule, their manual pages and the adapter
#               troubleshooting, and program-all.sh;
#   tarnel      the window tool for real adapters, the desktop entry, metainfo, icon,
#               manual page and the user's guide; it depends on
#               tarnel-cli for the adapter listing and the udev rule;
#   tarnel-sim  the simulated tool with its stand-in bootloader and an image to program.
# Executables that look for flash.ram in the directory they run from first (then in the
# user's and the system's configuration folders, which no package owns) live in a private
# directory, with a link on the path: tarnel and tarnel-cli share /usr/lib/tarnel/, and so
# one bootloader file; tarnel-sim never shares it, so the stand-in bootloader can never be
# uploaded by the real tools.

set(TARNEL_PKG_DIR ${CMAKE_BINARY_DIR}/package-files)
file(MAKE_DIRECTORY ${TARNEL_PKG_DIR})

# Links on the path, made in the build tree and installed as links.
function(tarnel_path_link name target)
    file(CREATE_LINK ${target} ${TARNEL_PKG_DIR}/${name} SYMBOLIC)
endfunction()
tarnel_path_link(tarnel ../lib/tarnel/tarnel)
tarnel_path_link(tarnel-sim ../lib/tarnel-sim/tarnel-sim)
tarnel_path_link(tarnel-cli ../lib/tarnel/tarnel-cli)

# The manual pages, the changelog entry and the metainfo carry the project's version and
# release date; the manual pages and the changelog are compressed as Debian keeps them.
tarnel_format_date(${TARNEL_RELEASE_DATE} "%B %Y" TARNEL_RELEASE_MONTH)
tarnel_format_date(${TARNEL_RELEASE_DATE} "%a, %d %b %Y %H:%M:%S +0000"
                   TARNEL_RELEASE_CHANGELOG_DATE)
set(TARNEL_APP_ID example.tarnel.Tarnel)
configure_file(packaging/${TARNEL_APP_ID}.metainfo.xml.in
               ${TARNEL_PKG_DIR}/${TARNEL_APP_ID}.metainfo.xml @ONLY)

find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(TARNEL_COMPRESSED)
foreach(name tarnel.1 tarnel-adapters.1 tarnel-cli.1 tarnel-sim.1 changelog)
    set(plain ${TARNEL_PKG_DIR}/${name})
    configure_file(packaging/${name}.in ${plain} @ONLY)
    set(output ${plain}.gz)
    add_custom_command(
        OUTPUT ${output}
        COMMAND ${GZIP_EXECUTABLE} -9 -n -c ${plain} > ${output}
        DEPENDS ${plain}
        COMMENT "Compressing ${name}")
    list(APPEND TARNEL_COMPRESSED ${output})
endforeach()

# The user's guide: the README without the sections that only serve a developer's checkout.
find_program(AWK_EXECUTABLE awk REQUIRED)
set(TARNEL_GUIDE ${TARNEL_PKG_DIR}/README.md)
add_custom_command(
    OUTPUT ${TARNEL_GUIDE}
    COMMAND ${AWK_EXECUTABLE} -f ${PROJECT_SOURCE_DIR}/packaging/user-guide.awk
            ${PROJECT_SOURCE_DIR}/README.md > ${TARNEL_GUIDE}
    DEPENDS ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/packaging/user-guide.awk
    COMMENT "Writing the user's guide")
add_custom_target(tarnel_package_files ALL DEPENDS ${TARNEL_COMPRESSED} ${TARNEL_GUIDE})

# Installs an executable stripped as Debian strips them: no symbols, no compiler notes.
function(tarnel_install_program target destination component)
    install(TARGETS ${target} RUNTIME DESTINATION ${destination} COMPONENT ${component})
    install(CODE "execute_process(COMMAND \"${CMAKE_STRIP}\"
        --remove-section=.comment --remove-section=.note
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${destination}/$<TARGET_FILE_NAME:${target}>\"
        COMMAND_ERROR_IS_FATAL ANY)" COMPONENT ${component})
endfunction()

tarnel_install_program(tarnel-cli lib/tarnel cli)
install(FILES ${TARNEL_PKG_DIR}/tarnel-cli DESTINATION bin COMPONENT cli)
tarnel_install_program(tarnel-adapters bin cli)
install(FILES packaging/70-tarnel.rules DESTINATION lib/udev/rules.d COMPONENT cli)
install(FILES ${TARNEL_PKG_DIR}/tarnel-cli.1.gz ${TARNEL_PKG_DIR}/tarnel-adapters.1.gz
        DESTINATION share/man/man1 COMPONENT cli)
install(FILES packaging/copyright DESTINATION share/doc/tarnel-cli COMPONENT cli)
install(FILES packaging/README.md DESTINATION share/doc/tarnel-cli RENAME adapter-access.md
        COMPONENT cli)
install(PROGRAMS examples/program-all.sh DESTINATION share/doc/tarnel-cli/examples COMPONENT cli)
install(FILES ${TARNEL_PKG_DIR}/changelog.gz DESTINATION share/doc/tarnel-cli
        RENAME changelog.gz COMPONENT cli)

tarnel_install_program(tarnel lib/tarnel tarnel)
install(FILES ${TARNEL_PKG_DIR}/tarnel DESTINATION bin COMPONENT tarnel)
install(FILES packaging/${TARNEL_APP_ID}.desktop DESTINATION share/applications
        COMPONENT tarnel)
install(FILES ${TARNEL_PKG_DIR}/${TARNEL_APP_ID}.metainfo.xml DESTINATION share/metainfo
        COMPONENT tarnel)
foreach(size ${TARNEL_ICON_SIZES})
    install(FILES ${TARNEL_PKG_DIR}/icons/${size}/tarnel.png
            DESTINATION share/icons/hicolor/${size}x${size}/apps COMPONENT tarnel)
endforeach()
install(FILES ${TARNEL_PKG_DIR}/tarnel.1.gz DESTINATION share/man/man1 COMPONENT tarnel)
install(FILES packaging/copyright ${TARNEL_GUIDE} DESTINATION share/doc/tarnel COMPONENT tarnel)
install(FILES ${TARNEL_PKG_DIR}/changelog.gz DESTINATION share/doc/tarnel
        RENAME changelog.gz COMPONENT tarnel)

if(TARGET tarnel-sim)
    tarnel_install_program(tarnel-sim lib/tarnel-sim sim)
    install(FILES src/sim/flash.ram DESTINATION lib/tarnel-sim COMPONENT sim)
    install(FILES ${TARNEL_PKG_DIR}/tarnel-sim DESTINATION bin COMPONENT sim)
    install(FILES ${TARNEL_PKG_DIR}/tarnel-sim.1.gz DESTINATION share/man/man1 COMPONENT sim)
    install(FILES packaging/copyright DESTINATION share/doc/tarnel-sim COMPONENT sim)
    install(FILES examples/demo.rom DESTINATION share/doc/tarnel-sim/examples COMPONENT sim)
    install(FILES ${TARNEL_PKG_DIR}/changelog.gz DESTINATION share/doc/tarnel-sim
            RENAME changelog.gz COMPONENT sim)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_NAME tarnel)
set(CPACK_PACKAGE_VENDOR "The Tarnel developers")
set(CPACK_PACKAGE_CONTACT "The Tarnel developers <developers@tarnel.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL tarnel cli sim)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tarnel.example/")
# The first line of each description is the package's synopsis.
set(CPACK_DEBIAN_TARNEL_PACKAGE_NAME tarnel)
set(CPACK_DEBIAN_TARNEL_DESCRIPTION
    "flash programmer for 16-bit microcontrollers\n\
Tarnel writes a program image into the flash of a 16-bit microcontroller\n\
through the Dravin USB programming adapter, and lets you attach to the\n\
target and run, stop or reset it, from its window or from a script.")
# The window tool takes the adapter listing and the udev rule from tarnel-cli, of the same
# version.
set(CPACK_COMPONENT_TARNEL_DEPENDS cli)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_CLI_PACKAGE_NAME tarnel-cli)
set(CPACK_DEBIAN_CLI_DESCRIPTION
    "command-line flash programmer for 16-bit microcontrollers\n\
tarnel-cli programs an image into the flash of a 16-bit microcontroller\n\
through the Dravin USB programming adapter, as the Tarnel window tool does\n\
unattended, without a window or Qt: for production jigs and scripts. The\n\
package also holds tarnel-adapters, which lists the connected adapters, and\n\
the udev rule that gives users access to them.")
set(CPACK_DEBIAN_SIM_PACKAGE_NAME tarnel-sim)
set(CPACK_DEBIAN_SIM_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_SIM_DESCRIPTION
    "Tarnel on a simulated adapter and target\n\
tarnel-sim is the Tarnel flash programmer built on a simulated programming\n\
adapter and target, with a stand-in bootloader, for trying the tool and\n\
testing scripts without hardware.")
include(CPack)
