# Link libraries of the platform layer's services, included from platform/CMakeLists.txt.
if(WIN32)
    # Downloads (WinInet) and the XML services (COM automation of MSXML).
    target_link_libraries(lobby_platform PUBLIC wininet ole32 oleaut32 uuid)
else()
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(LOBBY_CURL REQUIRED IMPORTED_TARGET libcurl)
    pkg_check_modules(LOBBY_LIBXML2 REQUIRED IMPORTED_TARGET libxml-2.0)
    target_link_libraries(lobby_platform PUBLIC PkgConfig::LOBBY_CURL PkgConfig::LOBBY_LIBXML2)
endif()

# The HTTP tests start the test server, which lands beside platform_tests; build it first.
# Deferred to the end of the top-level folder, where every target is known.
function(lobby_platform_tests_need_server)
    if(TARGET platform_tests AND TARGET lobby_test_server)
        add_dependencies(platform_tests lobby_test_server)
    endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL lobby_platform_tests_need_server)

# Pictures and painting: WIC and GDI (AlphaBlend) on Windows, gdk-pixbuf and cairo on Linux.
if(WIN32)
    target_link_libraries(lobby_platform PUBLIC windowscodecs msimg32 gdi32 ole32)
else()
    pkg_check_modules(LOBBY_GRAPHICS REQUIRED IMPORTED_TARGET gdk-pixbuf-2.0 cairo)
    target_link_libraries(lobby_platform PUBLIC PkgConfig::LOBBY_GRAPHICS)
endif()
