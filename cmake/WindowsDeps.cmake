# The command-line tool's libraries for the mingw-w64 build, from Debian
# packages only, without putting the build machine's /usr/include (glibc's
# headers) on the Windows include path:
# - CLI11 and nlohmann-json are header-only: a generated folder holds links
#   to just their two header folders.
# - pugixml: Debian's library is built for Linux, so it is compiled here
#   from the Debian source package that scripts/install-deps unpacks.
set(ORV_LINUX_INCLUDE_DIR /usr/include CACHE PATH "Folder that holds the CLI and nlohmann header folders")
set(ORV_PUGIXML_SOURCE_DIR /usr/local/src/pugixml CACHE PATH
    "pugixml's src folder (pugixml.cpp, pugixml.hpp), from Debian's source package")

set(_headers ${CMAKE_BINARY_DIR}/header-only)
foreach(dir CLI nlohmann)
  if(NOT EXISTS ${ORV_LINUX_INCLUDE_DIR}/${dir})
    message(FATAL_ERROR "${ORV_LINUX_INCLUDE_DIR}/${dir} is missing: run scripts/install-deps")
  endif()
  file(MAKE_DIRECTORY ${_headers})
  file(CREATE_LINK ${ORV_LINUX_INCLUDE_DIR}/${dir} ${_headers}/${dir} SYMBOLIC)
endforeach()
add_library(CLI11::CLI11 INTERFACE IMPORTED)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(CLI11::CLI11 nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${_headers})

if(NOT EXISTS ${ORV_PUGIXML_SOURCE_DIR}/pugixml.cpp)
  message(FATAL_ERROR "pugixml's source is not in ${ORV_PUGIXML_SOURCE_DIR}: run scripts/install-deps")
endif()
add_library(orv_pugixml STATIC ${ORV_PUGIXML_SOURCE_DIR}/pugixml.cpp)
target_include_directories(orv_pugixml SYSTEM PUBLIC ${ORV_PUGIXML_SOURCE_DIR})
add_library(pugixml::pugixml ALIAS orv_pugixml)
