# GoogleTest from the distribution's sources, built with whichever toolchain
# this tree uses, and one helper to declare a test program.
set(GLEANWELL_GTEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest source tree")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${GLEANWELL_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

# gleanwell_test(NAME SOURCES ... LIBS ... [LABELS ...])
# Builds one GoogleTest program and registers every case with CTest. Cases are
# listed when the tests run, so cross-built programs are listed under Wine.
function(gleanwell_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
    if(NOT T_LABELS)
        set(T_LABELS unit)
    endif()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                         PROPERTIES LABELS "${T_LABELS}" TIMEOUT 300)
endfunction()
