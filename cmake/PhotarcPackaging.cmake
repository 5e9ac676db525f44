# Ready-made packages, made by cpack (ci/package drives it): on Linux a Debian package, on Windows
# an SDK archive. Also the Windows version resources and the import library for Microsoft's linker.
include(PhotarcVersionResource)
photarc_version_resource(Photarc "Photarc light-engine control library")
photarc_version_resource(TestPhotarc "Photarc console: walks one light engine through the library")
if(TARGET photarc-sim)
  photarc_version_resource(photarc-sim "Photarc simulated light engine")
endif()
if("OrvantaDLL64" IN_LIST photarc_installed)
  photarc_version_resource(OrvantaDLL64 "Photarc's stand-in for OrvantaDLL64: simulated older light engines")
endif()
include(PhotarcImportLibrary)

set(CPACK_PACKAGE_NAME photarc)
set(CPACK_PACKAGE_VENDOR Photarc)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Control of multi-channel light engines")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CHECKSUM SHA256)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
  configure_file(${PROJECT_SOURCE_DIR}/cmake/README-windows.txt.in ${PROJECT_BINARY_DIR}/README.txt @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt DESTINATION .)
else()
  set(CPACK_GENERATOR DEB)
  # Staged with DESTDIR, so that install steps see the final prefix (/usr): the Python package
  # goes where Debian's Python looks, the pkg-config file names /usr.
  set(CPACK_SET_DESTDIR ON)
  # ci/package configures /usr, which also gives the Debian library directory (lib/<multiarch>).
  set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Photarc maintainers <photarc@example.org>")
  set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
  # Depends: from the libraries the binaries link (dpkg-shlibdeps), plus the interpreter of the
  # photarc command. Our own libraries are found in the package being built.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS .${CMAKE_INSTALL_FULL_LIBDIR})
  set(CPACK_DEBIAN_PACKAGE_DEPENDS python3)
  # A shlibs file for packages built against ours, and the loader cache refreshed on installation.
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/debian/prerm)
  # The summary line is CPACK_PACKAGE_DESCRIPTION_SUMMARY.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[
The Photarc library (libPhotarc.so.1, 48 C functions named orv_ around an
opaque handle) controls light engines whose channels are named by colour, over
a serial port or TCP.

This package holds the library with its header photarc.h, CMake package and
pkg-config file; TestPhotarc, a console program that walks one device through
the library; photarc-sim, a simulated light engine for work without hardware;
and the photarc Python package with its photarc command and its bench panel,
a local web page over one connected engine (with the dygraphs charting
library inside).

It also holds libOrvantaDLL64.so: not the maker's closed library of that name,
which older devices need, but Photarc's own stand-in for it, which simulates
older devices and drives no hardware. To drive real older devices, put the
maker's libOrvantaDLL64.so into /usr/local/lib and run ldconfig.]=])
endif()
include(CPack)
