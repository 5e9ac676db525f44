# Installation: the library with its header, the console programs and our OrvantaDLL64, plus a
# CMake package (find_package(Photarc CONFIG) -> Photarc::Photarc) and a pkg-config file.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(PHOTARC_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Photarc)

# Installed programs and libraries find their neighbours (the library sits in lib/, the
# programs in bin/).
set_target_properties(Photarc PROPERTIES INSTALL_RPATH "$ORIGIN")
set_target_properties(TestPhotarc PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")

set(photarc_installed Photarc)
# Our stand-in for the closed library is installed beside Photarc; a user's own copy is not.
if(TARGET OrvantaDLL64)
  get_target_property(orvanta_imported OrvantaDLL64 IMPORTED)
  if(NOT orvanta_imported)
    list(APPEND photarc_installed OrvantaDLL64)
  endif()
endif()

install(TARGETS ${photarc_installed}
  EXPORT PhotarcTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS TestPhotarc RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET photarc-sim)
  install(TARGETS photarc-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(EXPORT PhotarcTargets NAMESPACE Photarc:: DESTINATION ${PHOTARC_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/PhotarcConfig.cmake.in
  ${PROJECT_BINARY_DIR}/PhotarcConfig.cmake INSTALL_DESTINATION ${PHOTARC_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/PhotarcConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/PhotarcConfig.cmake ${PROJECT_BINARY_DIR}/PhotarcConfigVersion.cmake
  DESTINATION ${PHOTARC_CMAKE_DIR})

configure_file(${PROJECT_SOURCE_DIR}/cmake/photarc.pc.in ${PROJECT_BINARY_DIR}/photarc.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/photarc.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
