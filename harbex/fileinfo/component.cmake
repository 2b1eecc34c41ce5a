# The version reader: the platform's version service on Windows, and the library's own
# version resource there.
if(WIN32)
    target_link_libraries(Harbex PRIVATE version)
    target_link_libraries(harbex_static PUBLIC version)

    # The resource takes the project's version from a generated header.
    set(HARBEX_VERSION_NUMBERS
        "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
    set(HARBEX_VERSION_TEXT
        "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
    file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/generated/HarbexVersion.h CONTENT
         "#define HARBEX_VERSION_NUMBERS ${HARBEX_VERSION_NUMBERS}\n#define HARBEX_VERSION_TEXT \"${HARBEX_VERSION_TEXT}\"\n")
    target_sources(Harbex PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/Harbex.rc)
    target_include_directories(Harbex PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/generated)
endif()

# The tests read synthesised files and a toolchain-made library from the program's folder.
file(GLOB fileinfo_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/fileinfo/tests/*.cpp)
lobby_add_gtest(harbex_fileinfo_tests SOURCES ${fileinfo_tests} LIBS harbex_static lobby_platform)
target_include_directories(harbex_fileinfo_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/fileinfo/tests/data/sample.dll
               ${CMAKE_BINARY_DIR}/bin/testdata/fileinfo/sample.dll COPYONLY)
if(WIN32)
    # The Windows tests also read the built library's own version resource.
    add_dependencies(harbex_fileinfo_tests Harbex)
endif()

