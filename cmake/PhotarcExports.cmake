# photarc_limit_exports(<target> <version script>): a shared library that shows only what the
# version script lists (ELF platforms; on Windows only dllexport'ed functions leave a DLL).
# Undefined symbols are errors, except under clang's sanitizers, whose runtime is linked into
# executables only.
function(photarc_limit_exports target script)
  if(WIN32 OR APPLE)
    return()
  endif()
  target_link_options(${target} PRIVATE -Wl,--version-script=${script})
  if(NOT (CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND CMAKE_CXX_FLAGS MATCHES "-fsanitize"))
    target_link_options(${target} PRIVATE -Wl,--no-undefined)
  endif()
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${script})
endfunction()
