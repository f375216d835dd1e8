# Runs the viewer headless with an empty data folder: it must say that it
# found no skin and no pictures on stderr and in the status line, and its
# key panel stays undrawn.
#   cmake -DVIEWER=… -DOUT=… -DREGION=<tevrano_png_region> -P MissingDataCheck.cmake
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT}/empty)
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env TEVRANO_DATA_DIR=${OUT}/empty QT_QPA_PLATFORM=offscreen
          ${VIEWER} --headless --run-for 1 --snapshot ${OUT}/f.png --dump ${OUT}/f.json
  RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "tevrano-viewer exited with ${rc}: ${err}")
endif()
set(expected "no key panel skin and no pictures in ${OUT}/empty")
string(FIND "${err}" "tevrano-viewer: ${expected}" at)
if(at LESS 0)
  message(FATAL_ERROR "stderr does not say '${expected}': ${err}")
endif()
file(READ ${OUT}/f.json dump)
string(JSON status GET "${dump}" components Label_time caption)
string(FIND "${status}" "${expected}" at)
if(NOT at EQUAL 0)
  message(FATAL_ERROR "the status line reads '${status}'")
endif()
execute_process(COMMAND ${REGION} ${OUT}/f.png 740 0 324 640 2 RESULT_VARIABLE rc
                OUTPUT_VARIABLE measured)
if(NOT rc EQUAL 1)
  message(FATAL_ERROR "an empty data folder yet the key panel is drawn: ${measured}")
endif()
