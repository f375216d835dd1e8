# Builds only the viewer's target in a new build folder, as scripts/demo does
# on a fresh machine, runs it headless without a recorder and checks that it
# found its skins and pictures: its stderr and status line name no missing
# data, and its snapshot shows the key panel (drawn pixels in Image1's area).
#   cmake -DSOURCE=… -DOUT=… -DGENERATOR=… -DREGION=<tevrano_png_region>
#         [-DBUILD=folder] [-DBUILD_TYPE=type] -P FreshViewerBuildCheck.cmake
# BUILD is the new build folder (made empty first; default OUT/build) and
# BUILD_TYPE its build type (default Debug, which compiles fastest without a
# compiler cache).
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
if(DEFINED BUILD AND NOT BUILD STREQUAL "")
  set(build ${BUILD})
  file(REMOVE_RECURSE ${build})
else()
  set(build ${OUT}/build)
endif()
if(NOT DEFINED BUILD_TYPE OR BUILD_TYPE STREQUAL "")
  set(BUILD_TYPE Debug)
endif()
# Only the viewer is built.
execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${build} -G ${GENERATOR} -DCMAKE_BUILD_TYPE=${BUILD_TYPE}
          -DTEVRANO_BUILD_SIM=OFF -DTEVRANO_BUILD_AGENT=OFF -DTEVRANO_BUILD_BENCH=OFF
          -DTEVRANO_BUILD_FUZZ=OFF
  RESULT_VARIABLE rc OUTPUT_FILE ${OUT}/configure.log ERROR_FILE ${OUT}/configure.log)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "configure failed (${rc}); see ${OUT}/configure.log")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${build} --target tevrano-viewer
                RESULT_VARIABLE rc OUTPUT_FILE ${OUT}/build.log ERROR_FILE ${OUT}/build.log)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "building tevrano-viewer failed (${rc}); see ${OUT}/build.log")
endif()

execute_process(
  COMMAND ${CMAKE_COMMAND} -E env --unset=TEVRANO_DATA_DIR QT_QPA_PLATFORM=offscreen
          ${build}/host/tevrano-viewer --headless --run-for 1 --snapshot ${OUT}/viewer.png
          --dump ${OUT}/viewer.json
  RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "tevrano-viewer exited with ${rc}: ${err}")
endif()
if(err MATCHES "no key panel skin|no pictures")
  message(FATAL_ERROR "the viewer found no data: ${err}")
endif()
file(READ ${OUT}/viewer.json dump)
string(JSON status GET "${dump}" components Label_time caption)
if(NOT status STREQUAL "Connecting ...")
  message(FATAL_ERROR "the status line reads '${status}'")
endif()
string(JSON left GET "${dump}" components Image1 left)
string(JSON top GET "${dump}" components Image1 top)
string(JSON width GET "${dump}" components Image1 width)
string(JSON height GET "${dump}" components Image1 height)
execute_process(COMMAND ${REGION} ${OUT}/viewer.png ${left} ${top} ${width} ${height} 2
                RESULT_VARIABLE rc OUTPUT_VARIABLE measured)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the key panel is not drawn: ${measured}")
endif()
message(STATUS "fresh viewer build: key panel ${measured}")
