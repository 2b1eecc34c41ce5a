# GoogleTest is built from the sources Debian ships, so the same version serves the native,
# sanitizer and mingw builds.
enable_testing()
include(GoogleTest)

if(NOT TARGET gtest)
    set(LOBBY_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    add_subdirectory(${LOBBY_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()

# lobby_platform_sources(<var> <globs>...): the files matching the globs, less those named for
# the other platform (*_win.cpp on Linux; *_linux.cpp and *_gtk.cpp on Windows).
function(lobby_platform_sources var)
    file(GLOB files CONFIGURE_DEPENDS ${ARGN})
    if(WIN32)
        list(FILTER files EXCLUDE REGEX "_(linux|gtk)\\.cpp$")
    else()
        list(FILTER files EXCLUDE REGEX "_win\\.cpp$")
    endif()
    set(${var} ${files} PARENT_SCOPE)
endfunction()

# lobby_set_discovered_tests(<program> <tag> <property> <value>): sets a property on every
# test case gtest_discover_tests finds in <program>. The names are only known at test time, so
# the setting runs then, from a file CTest includes (<tag> names that file).
function(lobby_set_discovered_tests name tag property value)
    set(file ${CMAKE_CURRENT_BINARY_DIR}/${name}_${tag}.cmake)
    file(WRITE ${file}
         "if(${name}_TESTS)\n"
         "  set_tests_properties(\${${name}_TESTS} PROPERTIES ${property} \"${value}\")\n"
         "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${file})
endfunction()

# lobby_add_gtest(<name> SOURCES ... LIBS ... [TIMEOUT s] [TSAN])
# Natively every case is its own CTest test; under Wine one test per program, because each
# start of a Windows program costs a Wine start-up. TSAN: the program drives threads, so it is
# also built by target lobby_tsan_tests and its cases carry the label the linux-tsan preset runs.
function(lobby_add_gtest name)
    cmake_parse_arguments(ARG "TSAN" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main)
    lobby_warnings(${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    if(CMAKE_CROSSCOMPILING)
        add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
        set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS wine)
        return()
    endif()
    if(ARG_TSAN)
        add_dependencies(lobby_tsan_tests ${name})
        if("thread" IN_LIST LOBBY_SANITIZE)
            # Discovery and the tests start through a launcher that turns address-space
            # randomisation off, which clang 14's TSan needs on newer kernels.
            set_property(TARGET ${name} PROPERTY CROSSCOMPILING_EMULATOR
                                                 ${PROJECT_SOURCE_DIR}/cmake/tsan-run.sh)
        endif()
    endif()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                         PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS native)
    if(ARG_TSAN)
        lobby_set_discovered_tests(${name} labels LABELS "native;tsan")
    endif()
endfunction()

# Every .cpp in <folder> is one libFuzzer target, run briefly as a test (clang builds only).
function(lobby_add_fuzz_folder folder lib)
    if(NOT LOBBY_FUZZ OR NOT IS_DIRECTORY ${folder})
        return()
    endif()
    file(GLOB targets CONFIGURE_DEPENDS ${folder}/*.cpp)
    foreach(source IN LISTS targets)
        get_filename_component(stem ${source} NAME_WE)
        set(name fuzz_${stem})
        add_executable(${name} ${source})
        target_link_libraries(${name} PRIVATE ${lib})
        target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
        target_link_options(${name} PRIVATE -fsanitize=fuzzer)
        lobby_warnings(${name})
        set(corpus ${folder}/corpus/${stem})
        set(work ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus)
        file(MAKE_DIRECTORY ${work})
        set(seed)
        if(IS_DIRECTORY ${corpus})
            set(seed ${corpus})
        endif()
        add_test(NAME ${name}
                 COMMAND ${name} -max_total_time=15 -rss_limit_mb=2048 -print_final_stats=1
                         ${work} ${seed})
        set_tests_properties(${name} PROPERTIES TIMEOUT 120 LABELS fuzz)
    endforeach()
endfunction()

# lobby_tests_show_windows(<gtest program>): its tests open windows on the one display and take
# screenshots of it, or talk to the one lobby stand-in, so they run one at a time with every
# other test that does (natively: one X display and one lobby socket; under Wine: one window
# station). Call it in the folder that made the program.
function(lobby_tests_show_windows name)
    if(CMAKE_CROSSCOMPILING)
        set_tests_properties(${name} PROPERTIES RESOURCE_LOCK lobby_window)
        return()
    endif()
    lobby_set_discovered_tests(${name} window_lock RESOURCE_LOCK lobby_window)
endfunction()
