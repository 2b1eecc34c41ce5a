# The thread component's test program, defined here rather than by harbex/CMakeLists.txt:
# platform test files are picked per platform, and the program is also built and run under TSan.
lobby_platform_sources(harbex_thread_test_sources ${CMAKE_CURRENT_LIST_DIR}/tests/*.cpp)

# Under TSan the tests (and their discovery) start through a launcher that turns address-space
# randomisation off; CMAKE_CROSSCOMPILING_EMULATOR seeds the program's emulator property,
# which gtest_discover_tests uses.
set(harbex_thread_tsan OFF)
if("thread" IN_LIST LOBBY_SANITIZE AND NOT CMAKE_CROSSCOMPILING)
    set(harbex_thread_tsan ON)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/tsan-run.sh)
endif()
lobby_add_gtest(harbex_thread_tests SOURCES ${harbex_thread_test_sources} LIBS harbex_static)
if(harbex_thread_tsan)
    unset(CMAKE_CROSSCOMPILING_EMULATOR)
endif()
target_include_directories(harbex_thread_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
add_dependencies(lobby_tsan_tests harbex_thread_tests)

# Every discovered case also carries the label "tsan", which the linux-tsan test preset selects.
# This runs after the discovered tests are read, when their names are in harbex_thread_tests_TESTS.
if(NOT CMAKE_CROSSCOMPILING)
    set(harbex_thread_labels ${CMAKE_CURRENT_BINARY_DIR}/harbex_thread_tests_labels.cmake)
    file(WRITE ${harbex_thread_labels}
         "if(harbex_thread_tests_TESTS)\n"
         "  set_tests_properties(\${harbex_thread_tests_TESTS} PROPERTIES LABELS \"native;tsan\")\n"
         "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${harbex_thread_labels})
endif()
