# marrowtone_add_suite(NAME SOURCES ... LIBRARIES ... [PROPERTIES ...]): a GoogleTest program
# whose cases CTest runs one by one, each with the test PROPERTIES given (a TIMEOUT of 60
# seconds unless they say otherwise). In a cross build listing the cases means running the program, which needs
# the emulator (Wine) and a display: that is done when the tests run, not while building.
include(GoogleTest)

function(marrowtone_add_suite name)
    cmake_parse_arguments(PARSE_ARGV 1 SUITE "" "" "SOURCES;LIBRARIES;PROPERTIES")
    add_executable(${name} ${SUITE_SOURCES})
    target_link_libraries(${name} PRIVATE ${SUITE_LIBRARIES})
    set(properties TIMEOUT 60 ${SUITE_PROPERTIES})
    if(CMAKE_CROSSCOMPILING)
        gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                             PROPERTIES ${properties})
    else()
        gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
    endif()
endfunction()
