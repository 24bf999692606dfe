# Windows packages with CPack (cross builds only):
#   NSIS  Kalendo-<version>-win64-setup.exe (win32 for the i686 build): the program and
#         kalendo-cli.exe, the help documents and rtc_model_info.txt; Start-menu shortcuts; an
#         uninstaller and an entry under installed programs
#   ZIP   Kalendo-<version>-win64-portable.zip: the same files
#   ZIP with -D KALENDO_PACKAGE_DEMO=ON: Kalendo-<version>-win64-demo.zip, the same files plus the
#         simulated board's ftd2xx.dll and a read-me, to try the program without a board
# The simulated library is a component of its own that only the demo zip takes in.
# tools/package.sh builds both widths and makes all of them.

# The program finds its model file and help documents in its working directory, so they lie
# beside it and the shortcut starts it there. The console program goes with it, for scripts.
install(TARGETS Kalendo kalendo-cli RUNTIME DESTINATION . COMPONENT program)
install(FILES ${KALENDO_HELP_DOCUMENTS} ${PROJECT_SOURCE_DIR}/resources/rtc_model_info.txt
        DESTINATION . COMPONENT program)
install(FILES $<TARGET_FILE:kalendo_ftd2xx> DESTINATION . COMPONENT demo EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_SOURCE_DIR}/docs/demo-readme.txt DESTINATION . RENAME README-DEMO.txt
        COMPONENT demo EXCLUDE_FROM_ALL)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(KALENDO_PACKAGE_WIDTH win64)
    set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
else()
    set(KALENDO_PACKAGE_WIDTH win32)
    set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES")
endif()

set(CPACK_PACKAGE_NAME Kalendo)
set(CPACK_PACKAGE_VENDOR Novar)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Evaluation tool for the Novar TQ5100 and TQ5200 real-time clocks")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME ${KALENDO_PACKAGE_WIDTH})
set(CPACK_PACKAGE_INSTALL_DIRECTORY Kalendo)
# Also the key under ...\CurrentVersion\Uninstall: one entry whatever the version.
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Kalendo)
set(CPACK_PACKAGE_EXECUTABLES Kalendo Kalendo)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_COMPONENTS_ALL program)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR NSIS ZIP)

set(CPACK_NSIS_PACKAGE_NAME Kalendo)
set(CPACK_NSIS_DISPLAY_NAME Kalendo)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_MENU_LINKS KalendoQuickHelp.htm "Kalendo Quick Help")
set(CPACK_NSIS_INSTALLED_ICON_NAME Kalendo.exe)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)

# File names and the demo's extra component per generator run.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/KalendoPackageRun.cmake)

include(CPack)
