# Debian packages with CPack's DEB generator (native Linux builds with KALENDO_DEBIAN_PACKAGE,
# the preset `deb`; tools/package.sh makes them beside the Windows packages):
#   kalendo-cli_<version>_<arch>.deb                /usr/bin/kalendo-cli, the model file in
#       /usr/share/kalendo, the manual page, bash completion, and the udev rule that gives the
#       plugdev group the UM232H and takes it from the kernel's serial driver. Never the bridge
#       vendor's libftd2xx.so: the user installs that from the vendor.
#   kalendo-simulated-board_<version>_<arch>.deb    the simulated board's libftd2xx.so in
#       /usr/lib/kalendo/simulated-board, where the loader never finds it unless pointed there
#       (LD_LIBRARY_PATH), and its read-me.
include(GNUInstallDirs)

find_program(KALENDO_GZIP gzip REQUIRED)

set(kalendo_linux ${PROJECT_SOURCE_DIR}/resources/linux)
set(kalendo_cli_doc ${CMAKE_INSTALL_DATADIR}/doc/kalendo-cli)
set(kalendo_sim_doc ${CMAKE_INSTALL_DATADIR}/doc/kalendo-simulated-board)

# The manual page, compressed without a time stamp so that the same sources give the same
# package.
set(VERSION ${PROJECT_VERSION})
configure_file(${kalendo_linux}/kalendo-cli.1.in ${CMAKE_BINARY_DIR}/linux/kalendo-cli.1 @ONLY)
set(manual ${CMAKE_BINARY_DIR}/linux/kalendo-cli.1.gz)
add_custom_command(OUTPUT ${manual}
    COMMAND ${KALENDO_GZIP} -9nc ${CMAKE_BINARY_DIR}/linux/kalendo-cli.1 > ${manual}
    DEPENDS ${CMAKE_BINARY_DIR}/linux/kalendo-cli.1
    VERBATIM)
add_custom_target(kalendo_cli_manual ALL DEPENDS ${manual})

# Each package's changelog, as Debian keeps one per package (a native package: changelog.gz).
foreach(package IN ITEMS kalendo-cli kalendo-simulated-board)
    set(PACKAGE ${package})
    set(VERSION ${PROJECT_VERSION})
    configure_file(${kalendo_linux}/changelog.in ${CMAKE_BINARY_DIR}/linux/${package}/changelog
                   @ONLY)
    execute_process(COMMAND ${KALENDO_GZIP} -9nf ${CMAKE_BINARY_DIR}/linux/${package}/changelog)
endforeach()

install(TARGETS kalendo-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT cli)
install(FILES ${PROJECT_SOURCE_DIR}/resources/rtc_model_info.txt
        DESTINATION ${CMAKE_INSTALL_DATADIR}/kalendo COMPONENT cli)
install(FILES ${manual} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT cli)
install(FILES ${kalendo_linux}/kalendo-cli.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME kalendo-cli
        COMPONENT cli)
install(FILES ${kalendo_linux}/60-kalendo-um232h.rules DESTINATION lib/udev/rules.d
        COMPONENT cli)
install(FILES ${kalendo_linux}/copyright ${CMAKE_BINARY_DIR}/linux/kalendo-cli/changelog.gz
        DESTINATION ${kalendo_cli_doc} COMPONENT cli)

install(TARGETS kalendo_ftd2xx LIBRARY DESTINATION lib/kalendo/simulated-board
        COMPONENT sim)
install(FILES ${kalendo_linux}/simulated-board-readme.txt DESTINATION ${kalendo_sim_doc}
        RENAME README COMPONENT sim)
install(FILES ${kalendo_linux}/copyright
        ${CMAKE_BINARY_DIR}/linux/kalendo-simulated-board/changelog.gz
        DESTINATION ${kalendo_sim_doc} COMPONENT sim)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kalendo)
set(CPACK_PACKAGE_VENDOR "Novar Semiconductor Corp.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL cli sim)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Novar Kalendo developers <kalendo@novar.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://novar.example/kalendo")

set(CPACK_DEBIAN_CLI_PACKAGE_NAME kalendo-cli)
set(CPACK_DEBIAN_CLI_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_CLI_PACKAGE_SUGGESTS kalendo-simulated-board)
set(CPACK_COMPONENT_CLI_DESCRIPTION
    "evaluation board of the Novar TQ5100 and TQ5200 RTCs from scripts
kalendo-cli drives the Kalendo evaluation board through its UM232H USB-to-I2C
bridge: the real-time clock's time, date, alarm and registers, FOUT, the RTC
supply, power measurements and data logs, the crystal's offset in ppm, and a
check of a sample against its data sheet with an HTML report. It needs the
bridge vendor's D2XX library libftd2xx.so, which is not part of this package.
A udev rule lets the plugdev group use the UM232H without root.")

set(CPACK_DEBIAN_SIM_PACKAGE_NAME kalendo-simulated-board)
set(CPACK_DEBIAN_SIM_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_SIM_PACKAGE_ENHANCES kalendo-cli)
set(CPACK_COMPONENT_SIM_DESCRIPTION
    "simulated Kalendo evaluation board for trying kalendo-cli without one
A stand-in for the bridge vendor's libftd2xx.so, made by the Kalendo project:
it runs the bridge's commands on a simulated I2C bus with the TQ5100 or TQ5200
RTC and the ISL28023 power monitor. It lies in a folder of its own,
/usr/lib/kalendo/simulated-board, where nothing loads it unless the user
points the loader there (LD_LIBRARY_PATH). It is not the vendor's library and
drives no real board.")

include(CPack)
