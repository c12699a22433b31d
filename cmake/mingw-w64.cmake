# Cross-builds for 64-bit Windows with the mingw-w64 compilers of a Linux
# distribution (Debian: g++-mingw-w64-x86-64-posix or -win32).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TARVO_MINGW_TRIPLET x86_64-w64-mingw32 CACHE STRING "mingw-w64 target triplet")

# Either thread model serves; the distribution may ship only one of them.
find_program(TARVO_MINGW_CXX NAMES ${TARVO_MINGW_TRIPLET}-g++-posix ${TARVO_MINGW_TRIPLET}-g++-win32
                                   ${TARVO_MINGW_TRIPLET}-g++ REQUIRED)
string(REGEX REPLACE "g\\+\\+(-[a-z0-9]+)?$" "gcc\\1" TARVO_MINGW_CC "${TARVO_MINGW_CXX}")
set(CMAKE_CXX_COMPILER ${TARVO_MINGW_CXX})
set(CMAKE_C_COMPILER ${TARVO_MINGW_CC})
find_program(CMAKE_RC_COMPILER NAMES ${TARVO_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TARVO_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Lets ctest run the Windows test programs on this machine.
find_program(TARVO_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(TARVO_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TARVO_WINE})
endif()
