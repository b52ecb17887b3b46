# CPack: on Linux the Debian packages orvconvert (the tool, its docs and
# examples), liborvconverter-dev (libraries, headers, CMake package) and,
# when the module is built, python3-orvconverter; on
# Windows one zip with the COM server of each architecture built, orvconvert.exe,
# the type libraries, docs/com.md and how to register. scripts/package runs both.
set(CPACK_PACKAGE_NAME orvconvert)
set(CPACK_PACKAGE_VENDOR "ORVConverter developers")
set(CPACK_PACKAGE_CONTACT "ORVConverter developers <orvconverter@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME ORVConverter-${PROJECT_VERSION}-windows)
  # The zip is assembled from two build trees (the 32-bit one only where it
  # was built): read when cpack runs, not now.
  set(ORV_WIN32_BUILD_DIR ${PROJECT_SOURCE_DIR}/build/mingw32 CACHE PATH "Build folder of the 32-bit COM server")
  configure_file(cmake/packaging/WindowsZip.cmake.in ${PROJECT_BINARY_DIR}/CPackWindowsZip.cmake @ONLY)
  set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/CPackWindowsZip.cmake)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL Runtime Development)
  if(ORV_BUILD_PYTHON)
    list(APPEND CPACK_COMPONENTS_ALL Python)
  endif()
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  # Depends from the shared libraries the binary really links (dpkg-shlibdeps).
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME orvconvert)
  # The first line of each description is the package's summary.
  set(CPACK_DEBIAN_RUNTIME_DESCRIPTION [[converts legacy gene expression programming run files
orvconvert reads run files of format versions 1.0 and 2.0, upgrades them and
converts them into a version-3 run, written as JSON; it also shows a run's
summary and best model. Documentation and example runs are in
/usr/share/doc/orvconvert.]])
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME liborvconverter-dev)
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
  # Only the reference host needs these; the core and the adapter do not.
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_RECOMMENDS "libpugixml-dev, nlohmann-json3-dev")
  set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION [[run-file converter libraries (static) and CMake package
The core (run record, run files, version-1.0 upgrade), the conversion adapter
and the reference host, with their headers; find_package(ORVConverter) gives
the targets ORVConverter::core, ORVConverter::adapter and ORVConverter::host.]])
  set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-orvconverter)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
  # Built for one interpreter version, as Debian's own extension modules are.
  math(EXPR _python_next "${Python_VERSION_MINOR} + 1")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
    "python3 (>= ${Python_VERSION_MAJOR}.${Python_VERSION_MINOR}~), python3 (<< ${Python_VERSION_MAJOR}.${_python_next}), python3-numpy, python3-pandas")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SUGGESTS "python3-distributed, python3-dask")
  set(CPACK_DEBIAN_PYTHON_DESCRIPTION [[legacy gene expression programming run files in Python
The module orvconverter reads run files of format versions 1.0 and 2.0: their
settings, their data sets as pandas DataFrames and their best model, computed
on arrays; orvconverter.dask converts many files on a Dask cluster.]])
endif()

include(CPack)
