# The browser control's libraries, included from platform/ui/CMakeLists.txt: the WebBrowser
# control through COM and OLE on Windows, WebKitGTK on Linux.
if(WIN32)
    target_link_libraries(lobby_ui PUBLIC ole32 oleaut32 uuid comctl32)
else()
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(LOBBY_WEBKIT REQUIRED IMPORTED_TARGET webkit2gtk-4.1)
    target_link_libraries(lobby_ui PUBLIC PkgConfig::LOBBY_WEBKIT)
endif()
set_property(GLOBAL PROPERTY LOBBY_UI_BROWSER_LINKED ON)
