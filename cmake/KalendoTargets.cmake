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
# Test code in the Windows builds carries line tables only (-g1, after the configuration's -g):
# full debug information for GoogleTest's templates doubles the cross build's compile time, and a
# failure names its file and line either way.
function(kalendo_test_debug_info target)
    if(MINGW)
        target_compile_options(${target} PRIVATE -g1)
    endif()
endfunction()

function(kalendo_gtest target)
    cmake_parse_arguments(ARG "" "WIDTH_TESTS" "SOURCES;LIBS;ENVIRONMENT" ${ARGN})
    add_executable(${target} ${ARG_SOURCES})
    kalendo_test_debug_info(${target})
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

# The user-interface test programs' shared code, compiled once for all of them (a dozen test
# programs and seven photo programs): the simulated board's loader, the main window's fixture
# and the pages' helpers, the photo programs' frame.
function(kalendo_ui_support_libraries)
    if(TARGET kalendo_ui_sim_board)
        return()
    endif()
    add_library(kalendo_ui_sim_board STATIC ${PROJECT_SOURCE_DIR}/tests/ui/sim_board.cpp)
    target_include_directories(kalendo_ui_sim_board PUBLIC ${PROJECT_SOURCE_DIR})
    target_compile_definitions(kalendo_ui_sim_board PRIVATE
        KALENDO_SIM_BUILD_DIR="${CMAKE_BINARY_DIR}/sim")
    target_link_libraries(kalendo_ui_sim_board PUBLIC kalendo_app)
    kalendo_warnings(kalendo_ui_sim_board)
    kalendo_test_debug_info(kalendo_ui_sim_board)

    add_library(kalendo_ui_fixture STATIC
        ${PROJECT_SOURCE_DIR}/tests/ui/ui_fixture.cpp
        ${PROJECT_SOURCE_DIR}/tests/ui_time_alarm/page_test_support.cpp)
    target_link_libraries(kalendo_ui_fixture PUBLIC kalendo_ui_sim_board GTest::gtest GTest::gmock)
    kalendo_warnings(kalendo_ui_fixture)
    kalendo_test_debug_info(kalendo_ui_fixture)

    add_library(kalendo_photo_frame STATIC ${PROJECT_SOURCE_DIR}/tests/ui/photo_program.cpp)
    target_link_libraries(kalendo_photo_frame PUBLIC kalendo_ui_sim_board)
    kalendo_warnings(kalendo_photo_frame)
    kalendo_test_debug_info(kalendo_photo_frame)
endfunction()

# A GoogleTest program of user-interface tests on the main window (tests/ui's fixture).
function(kalendo_ui_gtest target)
    cmake_parse_arguments(ARG "" "WIDTH_TESTS" "SOURCES;ENVIRONMENT" ${ARGN})
    kalendo_ui_support_libraries()
    kalendo_gtest(${target}
        WIDTH_TESTS "${ARG_WIDTH_TESTS}"
        SOURCES
            ${ARG_SOURCES}
            $<TARGET_OBJECTS:kalendo_resources>
        LIBS kalendo_ui_fixture
        ENVIRONMENT "${ARG_ENVIRONMENT}")
    kalendo_ui_setup(${target})
endfunction()

# A program that works the main window on the simulated board and photographs it for docs/.
function(kalendo_photo_program target)
    kalendo_ui_support_libraries()
    add_executable(${target} ${ARGN} $<TARGET_OBJECTS:kalendo_resources>)
    target_link_libraries(${target} PRIVATE kalendo_photo_frame)
    kalendo_warnings(${target})
    kalendo_test_debug_info(${target})
    kalendo_ui_setup(${target})
endfunction()
