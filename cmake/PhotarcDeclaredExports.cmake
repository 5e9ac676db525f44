# photarc_declared_exports(<header> <out-var>): the orv_ functions the public header declares, in
# the header's order. Usable from projects and from `cmake -P` scripts.
function(photarc_declared_exports header out_var)
  file(STRINGS ${header} declarations REGEX "PHOTARC_API[ \t]+int32_t[ \t]+orv_[A-Za-z0-9_]+[ \t]*\\(")
  set(names)
  foreach(line ${declarations})
    string(REGEX MATCH "orv_[A-Za-z0-9_]+" name "${line}")
    list(APPEND names ${name})
  endforeach()
  set(${out_var} ${names} PARENT_SCOPE)
endfunction()
