# The show's music track: make_soundtrack renders and encodes it into
# ${SHOW_DATA_DIR}/qx3.mp3, beside the images, where the programs' file
# fallback "../data/" finds it. The samples are the same on every run, so the
# file only changes when the generator does.
function(lumen_add_soundtrack)
  add_custom_command(
    OUTPUT ${SHOW_DATA_DIR}/qx3.mp3
    COMMAND ${CMAKE_COMMAND} -E make_directory ${SHOW_DATA_DIR}
    COMMAND $<TARGET_FILE:make_soundtrack> --out ${SHOW_DATA_DIR}/qx3.mp3
    DEPENDS make_soundtrack
    COMMENT "Rendering the soundtrack qx3.mp3"
    VERBATIM)
  add_custom_target(soundtrack ALL DEPENDS ${SHOW_DATA_DIR}/qx3.mp3)
endfunction()
