# Cross-builds Windows x64 binaries with mingw-w64 (posix thread model, which
# std::mutex and GoogleTest need) and runs them through Wine. The x86 build
# sets ORV_MINGW_PROCESSOR to i686 first (mingw-w64-i686.cmake).
set(CMAKE_SYSTEM_NAME Windows)
if(NOT ORV_MINGW_PROCESSOR)
  set(ORV_MINGW_PROCESSOR x86_64)
endif()
set(CMAKE_SYSTEM_PROCESSOR ${ORV_MINGW_PROCESSOR})

set(_triplet ${ORV_MINGW_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER ${_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${_triplet}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No mingw runtime DLLs next to the binaries: everything links statically.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

