# Warnings on for our own targets; third-party code (GoogleTest) keeps its own flags.
function(lobby_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wnon-virtual-dtor
                                             -Wno-missing-field-initializers)
    if(LOBBY_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

if(LOBBY_SANITIZE)
    list(JOIN LOBBY_SANITIZE "," _lobby_san)
    add_compile_options(-fsanitize=${_lobby_san} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${_lobby_san})
endif()

# Fuzz builds instrument all our code for coverage, so the fuzzers see into the libraries
# they drive, not just into their own entry points.
if(LOBBY_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(WIN32)
    # Narrow Win32 calls take the ANSI code page, as the programs always have.
    add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
endif()
