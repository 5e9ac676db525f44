# Installs the photarc package where the prefix's Python looks for packages, with a note of
# where the prefix's library lies (relative, so a staged or moved prefix keeps working), and a
# `photarc` command beside the other programs.
# Expects: PHOTARC_PACKAGE_SOURCE, PHOTARC_PYTHON, PHOTARC_TARGET_WINDOWS, PHOTARC_LIBRARY_RELATIVE,
# PHOTARC_STAGING (a scratch directory in the build tree), PHOTARC_DYGRAPHS_DIR and
# PHOTARC_DYGRAPHS_COPYRIGHT (the bench panel's charting library and its licence).
set(prefix "${CMAKE_INSTALL_PREFIX}")

# The prefix's own interpreter (a virtual environment's, say) knows its directory best;
# otherwise the build's interpreter names the one it searches under that prefix.
set(site_query [=[
import os, site, sys, sysconfig
prefix = os.path.realpath(sys.argv[1])
places = [os.path.realpath(p) for p in site.getsitepackages() + [sysconfig.get_path("purelib")]]
# The nearest one: for /usr, /usr/lib/python3/dist-packages rather than /usr/local/...
inside = sorted((os.path.relpath(p, prefix) for p in places if p.startswith(prefix + os.sep)),
                key=lambda path: path.count(os.sep))
print(inside[0] if inside else os.path.join("lib", "python%d.%d" % sys.version_info[:2], "site-packages"))
]=])
set(python "${PHOTARC_PYTHON}")
if(EXISTS "${prefix}/bin/python3")
  set(python "${prefix}/bin/python3")
endif()
if(PHOTARC_TARGET_WINDOWS)
  # A Python installation or virtual environment has Lib/site-packages; any other prefix (the SDK
  # archive) gets a plain python/ folder to put on PYTHONPATH.
  if(EXISTS "${prefix}/python.exe" OR EXISTS "${prefix}/Scripts/python.exe")
    set(site_dir "Lib/site-packages")
  else()
    set(site_dir "python")
  endif()
elseif(python)
  execute_process(COMMAND "${python}" -c "${site_query}" "${prefix}"
    OUTPUT_VARIABLE site_dir OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${python} could not name its package directory under ${prefix}")
  endif()
else()
  message(STATUS "No Python interpreter: the photarc package is installed into lib/python3/site-packages")
  set(site_dir "lib/python3/site-packages")
endif()

set(package_dir "${prefix}/${site_dir}/photarc")
file(INSTALL "${PHOTARC_PACKAGE_SOURCE}/photarc/" DESTINATION "${package_dir}"
  FILES_MATCHING PATTERN "*.py" PATTERN "py.typed" PATTERN "*.html" PATTERN "*.css" PATTERN "*.js"
  PATTERN "__pycache__" EXCLUDE)
set(chart_files "${PHOTARC_DYGRAPHS_DIR}/dygraph.min.js" "${PHOTARC_DYGRAPHS_DIR}/dygraph.min.css")
if(EXISTS "${PHOTARC_DYGRAPHS_DIR}/dygraph.min.js" AND EXISTS "${PHOTARC_DYGRAPHS_DIR}/dygraph.min.css")
  file(INSTALL ${chart_files} DESTINATION "${package_dir}/panel/vendor")
  if(EXISTS "${PHOTARC_DYGRAPHS_COPYRIGHT}")
    file(INSTALL "${PHOTARC_DYGRAPHS_COPYRIGHT}" DESTINATION "${package_dir}/panel/vendor" RENAME dygraphs-copyright.txt)
  endif()
else()
  message(WARNING "No dygraph.min.js and dygraph.min.css in ${PHOTARC_DYGRAPHS_DIR} (Debian: libjs-dygraphs): "
                  "the bench panel is installed without its chart")
endif()

file(RELATIVE_PATH library_from_package "${package_dir}" "${prefix}/${PHOTARC_LIBRARY_RELATIVE}")
set(staging "${PHOTARC_STAGING}")
file(WRITE "${staging}/installed-library.txt" "${library_from_package}\n")
file(INSTALL "${staging}/installed-library.txt" DESTINATION "${package_dir}")

if(NOT PHOTARC_TARGET_WINDOWS AND python)
  file(RELATIVE_PATH site_from_bin "${prefix}/bin" "${prefix}/${site_dir}")
  file(WRITE "${staging}/photarc" "#!${python}
# The photarc command line, with the package installed in this prefix.
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.realpath(__file__)), \"${site_from_bin}\"))
from photarc.cli import main

sys.exit(main())
")
  file(INSTALL "${staging}/photarc" DESTINATION "${prefix}/bin"
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endif()
