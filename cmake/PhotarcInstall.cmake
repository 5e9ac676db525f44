# Installation: the library with its header, the console programs and our OrvantaDLL64, plus a
# CMake package (find_package(Photarc CONFIG) -> Photarc::Photarc) and a pkg-config file.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(PHOTARC_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Photarc)

# Installed programs and libraries find their neighbours (the library sits in lib/, the
# programs in bin/), unless the loader searches that directory anyway (/usr): there a run path
# would only keep a user's own OrvantaDLL64 (say in /usr/local/lib) from being found.
set(loader_dirs ${CMAKE_PLATFORM_IMPLICIT_LINK_DIRECTORIES} ${CMAKE_CXX_IMPLICIT_LINK_DIRECTORIES})
if(NOT CMAKE_INSTALL_FULL_LIBDIR IN_LIST loader_dirs)
  set_target_properties(Photarc PROPERTIES INSTALL_RPATH "$ORIGIN")
  set_target_properties(TestPhotarc PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
endif()

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
  ${PROJECT_BINARY_DIR}/PhotarcConfig.cmake INSTALL_DESTINATION ${PHOTARC_CMAKE_DIR}
  PATH_VARS CMAKE_INSTALL_LIBDIR)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/PhotarcConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/PhotarcConfig.cmake ${PROJECT_BINARY_DIR}/PhotarcConfigVersion.cmake
  DESTINATION ${PHOTARC_CMAKE_DIR})

# The pkg-config file's prefix: on Linux the one it is installed into, as written (known only at
# installation: a staged package's is its final one), so that pkg-config recognises the system's
# own directories; in the Windows archive, which is unpacked anywhere, relative to the file.
if(WIN32)
  file(RELATIVE_PATH pc_to_prefix ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
  string(REGEX REPLACE "/$" "" pc_to_prefix "${pc_to_prefix}")
  set(pc_prefix "\\\${pcfiledir}/${pc_to_prefix}")
else()
  set(pc_prefix "\${CMAKE_INSTALL_PREFIX}")
endif()
install(CODE "
  set(PHOTARC_PC_PREFIX \"${pc_prefix}\")
  set(PHOTARC_PC_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
  set(PHOTARC_PC_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
  set(PHOTARC_PC_VERSION \"${PROJECT_VERSION}\")
  configure_file(\"${PROJECT_SOURCE_DIR}/cmake/photarc.pc.in\" \"${PROJECT_BINARY_DIR}/pkgconfig/photarc.pc\" @ONLY)")
install(FILES ${PROJECT_BINARY_DIR}/pkgconfig/photarc.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
