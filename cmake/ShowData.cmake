# The show's data pipeline, run by the build:
#   make_show_data  -> ${SHOW_DATA_DIR}/*.png (deterministic)
#   make_pack       -> ${SHOW_GENERATED_DIR}/qx3.kest (LZMA entries, masked names)
#   embed_file      -> ${SHOW_GENERATED_DIR}/embedded_pack.cpp, compiled into show_pack
# Every program links show_pack through the engine, so nothing reads the pack
# from disk at run time.

# The programs live in bin/ beside data/, so that run from bin/ their file
# fallback "../data/" finds the show's files (the music track among them).
set(LUMEN_PROGRAM_DIR ${CMAKE_BINARY_DIR}/bin)
if(CMAKE_CROSSCOMPILING)
  set(LUMEN_HOST_BUILD_DIR "" CACHE PATH "The native build whose generated show data a cross build embeds")
  set(SHOW_DATA_DIR ${LUMEN_HOST_BUILD_DIR}/data)
else()
  set(SHOW_DATA_DIR ${CMAKE_BINARY_DIR}/data)
endif()
set(SHOW_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)

# Pack entries in directory order. Later effects append their images and meshes.
set(SHOW_PACK_ENTRIES
  crud.png
  vignette.png
  3dfont.png
  textmodechars.png
  tunnel.png
  pelkora.png
  qx3.png
  tovrik.png
  sambral.png
  wobbly.png
  wobbly2.png
  uvtwist.png
  twisttex.png
  twisttex2.png
  env_red.png
  env_red2.png
  env_red3.png
  pineapple3.ase.bin
  box.ase.bin
)

function(lumen_add_show_pack)
  list(TRANSFORM SHOW_PACK_ENTRIES PREPEND ${SHOW_DATA_DIR}/ OUTPUT_VARIABLE entry_files)
  add_custom_command(
    OUTPUT ${SHOW_DATA_DIR}/show_data.stamp
    COMMAND ${CMAKE_COMMAND} -E make_directory ${SHOW_DATA_DIR}
    COMMAND $<TARGET_FILE:make_show_data> --out ${SHOW_DATA_DIR}
    COMMAND ${CMAKE_COMMAND} -E touch ${SHOW_DATA_DIR}/show_data.stamp
    DEPENDS make_show_data
    COMMENT "Generating the show's images"
    VERBATIM)
  add_custom_command(
    OUTPUT ${SHOW_GENERATED_DIR}/qx3.kest
    COMMAND ${CMAKE_COMMAND} -E make_directory ${SHOW_GENERATED_DIR}
    COMMAND $<TARGET_FILE:make_pack> --out ${SHOW_GENERATED_DIR}/qx3.kest ${entry_files}
    DEPENDS make_pack ${SHOW_DATA_DIR}/show_data.stamp
    COMMENT "Packing qx3.kest"
    VERBATIM)
  add_custom_command(
    OUTPUT ${SHOW_GENERATED_DIR}/embedded_pack.cpp
    COMMAND $<TARGET_FILE:embed_file> ${SHOW_GENERATED_DIR}/qx3.kest ${SHOW_GENERATED_DIR}/embedded_pack.cpp
    DEPENDS embed_file ${SHOW_GENERATED_DIR}/qx3.kest
    COMMENT "Embedding qx3.kest"
    VERBATIM)
  add_library(show_pack STATIC ${SHOW_GENERATED_DIR}/embedded_pack.cpp)
  target_include_directories(show_pack PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# Cross builds run no generator: they embed the pack that a native build
# (LUMEN_HOST_BUILD_DIR) made, and ship its music track, so that both
# platforms show the same bytes. The track is copied to data/ beside bin/.
function(lumen_import_show_data)
  set(host ${LUMEN_HOST_BUILD_DIR})
  if(NOT EXISTS ${host}/generated/embedded_pack.cpp OR NOT EXISTS ${host}/data/qx3.mp3)
    message(FATAL_ERROR "LUMEN_HOST_BUILD_DIR (${host}) must be a native build that has made the show's data "
                        "(targets show_pack and soundtrack)")
  endif()
  add_library(show_pack STATIC ${host}/generated/embedded_pack.cpp)
  target_include_directories(show_pack PUBLIC ${PROJECT_SOURCE_DIR})
  add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/data/qx3.mp3
    COMMAND ${CMAKE_COMMAND} -E copy ${host}/data/qx3.mp3 ${CMAKE_BINARY_DIR}/data/qx3.mp3
    DEPENDS ${host}/data/qx3.mp3
    VERBATIM)
  add_custom_target(soundtrack ALL DEPENDS ${CMAKE_BINARY_DIR}/data/qx3.mp3)
endfunction()
