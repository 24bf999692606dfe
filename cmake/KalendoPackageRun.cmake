# Read by cpack for each generator it runs (CPACK_PROJECT_CONFIG_FILE): the package's file name
# and its components. The installer is one piece, the program component; a zip takes its
# components into one archive, the program's, and for the demo zip
# (cpack -G ZIP -D KALENDO_PACKAGE_DEMO=ON) the simulated board's as well.
set(kalendo_package_stem "${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-${CPACK_SYSTEM_NAME}")
if(CPACK_GENERATOR STREQUAL "NSIS")
    set(CPACK_PACKAGE_FILE_NAME "${kalendo_package_stem}-setup")
    set(CPACK_MONOLITHIC_INSTALL ON)
    unset(CPACK_COMPONENTS_ALL)
else()
    set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
    set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
    set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
    if(KALENDO_PACKAGE_DEMO)
        set(CPACK_PACKAGE_FILE_NAME "${kalendo_package_stem}-demo")
        set(CPACK_COMPONENTS_ALL program demo)
    else()
        set(CPACK_PACKAGE_FILE_NAME "${kalendo_package_stem}-portable")
    endif()
endif()
