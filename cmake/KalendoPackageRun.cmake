# Read by cpack for each generator it runs (CPACK_PROJECT_CONFIG_FILE): the package's file name,
# and for the demo zip (cpack -G ZIP -D KALENDO_PACKAGE_DEMO=ON) the simulated board's component.
set(kalendo_package_stem "${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-${CPACK_SYSTEM_NAME}")
if(CPACK_GENERATOR STREQUAL "NSIS")
    set(CPACK_PACKAGE_FILE_NAME "${kalendo_package_stem}-setup")
elseif(KALENDO_PACKAGE_DEMO)
    set(CPACK_PACKAGE_FILE_NAME "${kalendo_package_stem}-demo")
    set(CPACK_COMPONENTS_ALL program demo)
else()
    set(CPACK_PACKAGE_FILE_NAME "${kalendo_package_stem}-portable")
endif()
