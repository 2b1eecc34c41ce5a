# The thread component's test program: the folder loop would make it too, but it drives
# threads, so it also runs under TSan.
lobby_platform_sources(harbex_thread_test_sources ${CMAKE_CURRENT_LIST_DIR}/tests/*.cpp)
lobby_add_gtest(harbex_thread_tests SOURCES ${harbex_thread_test_sources} LIBS harbex_static TSAN)
target_include_directories(harbex_thread_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
