# MinGW builds: Photarc.def, listing exactly the exports the public header declares, and from it
# Photarc.lib, an import library for Microsoft's linker (MinGW's own is libPhotarc.dll.a). Both
# are installed into the library directory. Microsoft's toolchain writes its Photarc.lib itself.
if(NOT MINGW)
  return()
endif()
include(PhotarcDeclaredExports)

set(header ${PROJECT_SOURCE_DIR}/api/photarc.h)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${header})
photarc_declared_exports(${header} exports)
list(JOIN exports "\n    " export_lines)
set(def_file ${PROJECT_BINARY_DIR}/Photarc.def)
file(CONFIGURE OUTPUT ${def_file} CONTENT "LIBRARY Photarc.dll\nEXPORTS\n    ${export_lines}\n")

if(NOT CMAKE_DLLTOOL)
  message(FATAL_ERROR "No dlltool beside the MinGW compiler: Photarc.lib cannot be made")
endif()
set(msvc_import_library ${PROJECT_BINARY_DIR}/Photarc.lib)
add_custom_command(OUTPUT ${msvc_import_library}
  COMMAND ${CMAKE_DLLTOOL} --machine i386:x86-64 --input-def ${def_file} --dllname $<TARGET_FILE_NAME:Photarc>
          --output-lib ${msvc_import_library}
  DEPENDS ${def_file}
  COMMENT "Import library for Microsoft's linker: Photarc.lib")
add_custom_target(photarc_msvc_import_library ALL DEPENDS ${msvc_import_library})
install(FILES ${def_file} ${msvc_import_library} DESTINATION ${CMAKE_INSTALL_LIBDIR})
