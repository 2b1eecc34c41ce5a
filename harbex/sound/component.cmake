# The wave player's sound service: DirectSound on Windows, SDL audio elsewhere.
if(WIN32)
    target_link_libraries(Harbex PRIVATE dsound dxguid)
    target_link_libraries(harbex_static PUBLIC dsound dxguid)
else()
    find_package(SDL2 REQUIRED)
    target_link_libraries(harbex_objects PRIVATE SDL2::SDL2)
    target_link_libraries(Harbex PRIVATE SDL2::SDL2)
    target_link_libraries(harbex_static PUBLIC SDL2::SDL2)
endif()

# The tests are made here rather than by the folder loop: their platform files are picked per
# platform, the Windows ones carry wave resources, and the threaded cases also run under TSan.
lobby_platform_sources(sound_tests ${CMAKE_CURRENT_LIST_DIR}/tests/*.cpp)
if(WIN32)
    enable_language(RC)
    list(APPEND sound_tests ${CMAKE_CURRENT_LIST_DIR}/tests/PlatformSound_win.rc)
endif()
lobby_add_gtest(harbex_sound_tests SOURCES ${sound_tests} LIBS harbex_static)
target_include_directories(harbex_sound_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
if("thread" IN_LIST LOBBY_SANITIZE)
    add_dependencies(lobby_tsan_tests harbex_sound_tests)
    add_test(NAME harbex_sound_tests_threads
             COMMAND harbex_sound_tests --gtest_filter=SoundMixerThreads.*:SdlSoundDevice.*:DeviceKeeper.*)
    set_tests_properties(harbex_sound_tests_threads PROPERTIES TIMEOUT 120 LABELS tsan)
endif()

