# Cross-builds Windows x86 (32-bit) binaries: the same toolchain as x64.
set(ORV_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
