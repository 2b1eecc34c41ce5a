# `cmake --install build/<preset> --prefix DIR` lays out a ready program folder.
if(WIN32)
    # The programs need the mingw runtime beside them.
    foreach(dll IN LISTS LOBBY_MINGW_RUNTIME)
        install(FILES ${dll} DESTINATION .)
    endforeach()
endif()
