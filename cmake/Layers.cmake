# The control's folders are layers: each folder is an object library that may
# include only itself, platform/ and the folders it names. Its sources see the
# tree through a folder of links to exactly those folders, so an include of a
# folder above it is not found and the build fails at that line.
#
#   tevrano_layer(<folder> [USES <folder>...] [LIBS <target>...])
function(tevrano_layer folder)
  cmake_parse_arguments(L "" "" "USES;LIBS" ${ARGN})
  set(root ${CMAKE_BINARY_DIR}/layers/${folder})
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root})
  foreach(dir IN ITEMS ${folder} platform ${L_USES})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${dir} ${root}/${dir} SYMBOLIC)
  endforeach()
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
  if(NOT sources)
    return()
  endif()
  set(target tevrano_layer_${folder})
  add_library(${target} OBJECT ${sources})
  target_include_directories(${target} PRIVATE ${root})
  target_link_libraries(${target} PRIVATE ${L_LIBS})
  # Decoder headers carry libavcodec's types, so every layer above video/ sees them.
  if(folder STREQUAL "video" OR "video" IN_LIST L_USES)
    target_link_libraries(${target} PRIVATE PkgConfig::FFMPEG)
  endif()
  set_property(GLOBAL APPEND PROPERTY TEVRANO_LAYER_TARGETS ${target})
  set_property(GLOBAL APPEND PROPERTY TEVRANO_LAYER_FOLDERS ${folder})
  set(TEVRANO_LAYER_USES_${folder} ${L_USES} PARENT_SCOPE)
endfunction()
