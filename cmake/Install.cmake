# What `cmake --install` puts in place, by component:
#   Runtime      orvconvert, with the docs and the examples beside it
#   Development  the core, adapter and reference host libraries, their headers
#                and the CMake package: find_package(ORVConverter) gives
#                ORVConverter::core, ORVConverter::adapter, ORVConverter::host
#   Com          (Windows) ORVConverter.dll and its type library
#   ComDocs      (Windows) docs/com.md and how to register the DLLs
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

if(WIN32)
  # A flat folder per architecture: the Windows zip takes it as x64/ or x86/.
  if(TARGET orvconvert)
    install(TARGETS orvconvert RUNTIME DESTINATION . COMPONENT Runtime)
  endif()
  if(TARGET ORVConverter)
    get_target_property(_com_dir ORVConverter BINARY_DIR)
    install(TARGETS ORVConverter RUNTIME DESTINATION . COMPONENT Com)
    install(FILES ${_com_dir}/generated/ORVConverter.tlb DESTINATION . COMPONENT Com)
  endif()
  install(FILES docs/com.md DESTINATION docs COMPONENT ComDocs)
  install(FILES cmake/packaging/REGISTER.txt DESTINATION . COMPONENT ComDocs)
  return()
endif()

set(ORV_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/orvconvert)
if(TARGET orvconvert)
  install(TARGETS orvconvert RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime)
endif()
# docs/ keeps its name, so that the README's links and picture resolve.
install(FILES README.md DESTINATION ${ORV_INSTALL_DOCDIR} COMPONENT Runtime)
install(DIRECTORY docs/ DESTINATION ${ORV_INSTALL_DOCDIR}/docs COMPONENT Runtime)
install(DIRECTORY examples/ DESTINATION ${ORV_INSTALL_DOCDIR}/examples COMPONENT Runtime
  PATTERN generator EXCLUDE)

# Headers keep their folders, so that "run_record/clsRun.h" reads the same
# inside the tree and outside; the folder name keeps them apart from others'.
set(_include_dir ${CMAKE_INSTALL_INCLUDEDIR}/ORVConverter)
set(_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/ORVConverter)
set(_header_dirs common run_record legacy_file upgrade platform adapter)

# The reference host goes in its own export set: only its consumers need
# nlohmann-json (its JSON header) and pugixml (to link).
set_target_properties(orvcore PROPERTIES EXPORT_NAME core)
install(TARGETS orvcore EXPORT ORVConverterTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development
  INCLUDES DESTINATION ${_include_dir})
if(TARGET orvadapter)
  set_target_properties(orvadapter PROPERTIES EXPORT_NAME adapter)
  install(TARGETS orvadapter EXPORT ORVConverterTargets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development)
endif()
if(TARGET orvhost)
  list(APPEND _header_dirs host)
  set_target_properties(orvhost PROPERTIES EXPORT_NAME host)
  install(TARGETS orvhost EXPORT ORVConverterHostTargets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development)
  install(EXPORT ORVConverterHostTargets NAMESPACE ORVConverter:: DESTINATION ${_cmake_dir} COMPONENT Development)
endif()
foreach(dir IN LISTS _header_dirs)
  install(DIRECTORY src/${dir}/ DESTINATION ${_include_dir}/${dir} COMPONENT Development
    FILES_MATCHING PATTERN "*.h" PATTERN com EXCLUDE)
endforeach()
install(EXPORT ORVConverterTargets NAMESPACE ORVConverter:: DESTINATION ${_cmake_dir} COMPONENT Development)

configure_package_config_file(cmake/packaging/ORVConverterConfig.cmake.in
  ${PROJECT_BINARY_DIR}/ORVConverterConfig.cmake INSTALL_DESTINATION ${_cmake_dir})
# Before 1.0 a new minor version may change the interfaces.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/ORVConverterConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/ORVConverterConfig.cmake ${PROJECT_BINARY_DIR}/ORVConverterConfigVersion.cmake
  DESTINATION ${_cmake_dir} COMPONENT Development)
