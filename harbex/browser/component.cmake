# The script bridge's engines (COM automation on Windows, WebKitGTK elsewhere) and the browser
# control that CWebBrowser wraps, from the window layer.
if(WIN32)
    target_link_libraries(Harbex PRIVATE oleaut32 ole32)
    target_link_libraries(harbex_static PUBLIC oleaut32 ole32)
else()
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(HARBEX_WEBKIT REQUIRED IMPORTED_TARGET webkit2gtk-4.1 gtk+-3.0)
    target_link_libraries(harbex_objects PRIVATE PkgConfig::HARBEX_WEBKIT)
    target_link_libraries(Harbex PRIVATE PkgConfig::HARBEX_WEBKIT)
    target_link_libraries(harbex_static PUBLIC PkgConfig::HARBEX_WEBKIT)
endif()

# lobby_ui's browser libraries, until platform/ui includes them itself.
get_property(lobby_ui_browser_linked GLOBAL PROPERTY LOBBY_UI_BROWSER_LINKED)
if(NOT lobby_ui_browser_linked)
    include(${PROJECT_SOURCE_DIR}/platform/ui/browser.cmake)
endif()
target_link_libraries(harbex_objects PRIVATE lobby_ui)
target_link_libraries(Harbex PRIVATE lobby_ui)
target_link_libraries(harbex_static PUBLIC lobby_ui)
