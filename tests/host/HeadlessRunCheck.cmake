# Runs the viewer headless for a second and checks what it leaves behind: a
# 1518 × 673 PNG of the form and a dump whose labels show the start-up texts.
#   cmake -DVIEWER=… -DOUT=… -P HeadlessRunCheck.cmake
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
execute_process(
  COMMAND ${VIEWER} --headless --run-for 1 --snapshot ${OUT}/f.png --dump ${OUT}/f.json
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "tevrano-viewer exited with ${rc}")
endif()

# PNG: signature, then the IHDR chunk with width and height (big-endian).
file(READ ${OUT}/f.png header LIMIT 24 HEX)
string(SUBSTRING "${header}" 0 16 signature)
string(SUBSTRING "${header}" 32 8 width)
string(SUBSTRING "${header}" 40 8 height)
if(NOT signature STREQUAL "89504e470d0a1a0a")
  message(FATAL_ERROR "f.png is not a PNG")
endif()
math(EXPR width "0x${width}")
math(EXPR height "0x${height}")
if(NOT width EQUAL 1518 OR NOT height EQUAL 673)
  message(FATAL_ERROR "f.png is ${width} x ${height}, not 1518 x 673")
endif()

file(READ ${OUT}/f.json dump)
string(JSON time GET "${dump}" components Label_time caption)
string(JSON version GET "${dump}" components Label_Version caption)
if(NOT time STREQUAL "Connecting ...")
  message(FATAL_ERROR "Label_time reads '${time}'")
endif()
if(NOT version STREQUAL "Ver.030330")
  message(FATAL_ERROR "Label_Version reads '${version}'")
endif()
string(JSON logged GET "${dump}" control logged_in)
message(STATUS "headless run: ${width} x ${height} PNG, '${time}', '${version}', logged_in ${logged}")
