# photarc_warnings(<target>): the project's warning set, as errors when PHOTARC_WERROR is on.
function(photarc_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 $<$<BOOL:${PHOTARC_WERROR}>:/WX>)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wconversion -Wshadow
                           $<$<BOOL:${PHOTARC_WERROR}>:-Werror>)
  endif()
endfunction()
