# Shared settings for every target of the project.

function(kalendo_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()

# A portable library of the project (no window code): built natively and for Windows.
function(kalendo_library target)
    add_library(${target} STATIC ${ARGN})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    kalendo_warnings(${target})
endfunction()

# A GoogleTest program. Its cases are listed when ctest runs (under Wine for the Windows
# build), so building needs neither Wine nor a display. WIDTH_TESTS is a GoogleTest filter
# ("Suite.*:Suite.Name") of the cases where the pointer width matters: they get the ctest label
# `width`, which the i686 test preset selects (the program is then listed twice, once per part).
function(kalendo_gtest target)
    cmake_parse_arguments(ARG "" "WIDTH_TESTS" "SOURCES;LIBS;ENVIRONMENT" ${ARGN})
    add_executable(${target} ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
    kalendo_warnings(${target})
    include(GoogleTest)
    # The discovery script flattens the property list, so a second variable would become a
    # property name of its own. Shared settings belong in the test presets' environment.
    list(LENGTH ARG_ENVIRONMENT variables)
    if(variables GREATER 1)
        message(FATAL_ERROR "${target}: ENVIRONMENT takes one variable, not ${ARG_ENVIRONMENT}")
    endif()
    # An empty ENVIRONMENT would take the next word as its value (and lose TIMEOUT and the
    # label), so it is passed only when there is a variable.
    set(properties TIMEOUT 120)
    if(ARG_ENVIRONMENT)
        list(APPEND properties ENVIRONMENT "${ARG_ENVIRONMENT}")
    endif()
    set(discovery DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
    if(ARG_WIDTH_TESTS)
        gtest_discover_tests(${target} ${discovery} TEST_FILTER "${ARG_WIDTH_TESTS}"
                             PROPERTIES ${properties} LABELS width)
        gtest_discover_tests(${target} ${discovery} TEST_FILTER "-${ARG_WIDTH_TESTS}"
                             PROPERTIES ${properties})
    else()
        gtest_discover_tests(${target} ${discovery} PROPERTIES ${properties})
    endif()
endfunction()

# What every program that drives the real main window on the simulated board needs (Windows
# build only): the window code and its resources, the simulator's folder to load ftd2xx.dll from
# (under Wine a path from the root of the current drive reaches the build tree; KALENDO_SIM_DIR
# overrides it), the simulated library built first, and the model file beside the program, since
# the program reads it from the working directory.
function(kalendo_ui_setup target)
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
    target_compile_definitions(${target} PRIVATE KALENDO_SIM_BUILD_DIR="${CMAKE_BINARY_DIR}/sim")
    if(TARGET kalendo_ftd2xx)
        add_dependencies(${target} kalendo_ftd2xx)
    endif()
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E copy_if_different
                ${PROJECT_SOURCE_DIR}/resources/rtc_model_info.txt $<TARGET_FILE_DIR:${target}>
        VERBATIM)
endfunction()

# A GoogleTest program of user-interface tests on the main window (tests/ui's fixture).
function(kalendo_ui_gtest target)
    cmake_parse_arguments(ARG "" "WIDTH_TESTS" "SOURCES;ENVIRONMENT" ${ARGN})
    kalendo_gtest(${target}
        WIDTH_TESTS "${ARG_WIDTH_TESTS}"
        SOURCES
            ${ARG_SOURCES}
            ${PROJECT_SOURCE_DIR}/tests/ui/sim_board.cpp
            ${PROJECT_SOURCE_DIR}/tests/ui/ui_fixture.cpp
            $<TARGET_OBJECTS:kalendo_resources>
        LIBS kalendo_app
        ENVIRONMENT "${ARG_ENVIRONMENT}")
    kalendo_ui_setup(${target})
endfunction()

# A program that works the main window on the simulated board and photographs it for docs/.
function(kalendo_photo_program target)
    add_executable(${target}
        ${ARGN}
        ${PROJECT_SOURCE_DIR}/tests/ui/photo_program.cpp
        ${PROJECT_SOURCE_DIR}/tests/ui/sim_board.cpp
        $<TARGET_OBJECTS:kalendo_resources>)
    target_link_libraries(${target} PRIVATE kalendo_app)
    kalendo_warnings(${target})
    kalendo_ui_setup(${target})
endfunction()
