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
# build), so building needs neither Wine nor a display.
function(kalendo_gtest target)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;ENVIRONMENT" ${ARGN})
    add_executable(${target} ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
    kalendo_warnings(${target})
    include(GoogleTest)
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         PROPERTIES ENVIRONMENT "${ARG_ENVIRONMENT}" TIMEOUT 120)
endfunction()
