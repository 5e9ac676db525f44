# Installs the build tree into a fresh prefix, then builds and runs a small host project against
# it, once through the CMake package and once through pkg-config.
# Expects: BUILD_DIR, SOURCE_DIR, WORK_DIR, C_COMPILER, GENERATOR, and LINK_FLAGS (a sanitizer
# build's runtime must be linked into the host program too).
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "failed (${result}): ${ARGN}\n${out}\n${err}")
  endif()
  message("${out}")
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(file include/photarc.h bin/TestPhotarc lib/cmake/Photarc/PhotarcConfig.cmake lib/pkgconfig/photarc.pc)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()

run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/consumer -G ${GENERATOR} -DCMAKE_PREFIX_PATH=${prefix}
    "-DCMAKE_EXE_LINKER_FLAGS=${LINK_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/consumer)
run(${WORK_DIR}/consumer/consumer_c)
run(${WORK_DIR}/consumer/consumer_cpp)

set(ENV{PKG_CONFIG_PATH} ${prefix}/lib/pkgconfig)
execute_process(COMMAND pkg-config --cflags --libs photarc OUTPUT_VARIABLE flags RESULT_VARIABLE result
                OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "pkg-config does not know photarc")
endif()
separate_arguments(flags UNIX_COMMAND "${flags} ${LINK_FLAGS}")
run(${C_COMPILER} ${SOURCE_DIR}/consumer.c ${flags} -Wl,-rpath,${prefix}/lib -o ${WORK_DIR}/consumer_pkgconfig)
run(${WORK_DIR}/consumer_pkgconfig)
