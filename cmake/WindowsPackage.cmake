# The Windows release archive, made by the cross build:
# ${CMAKE_BINARY_DIR}/dist/lumen-gravel-windows-x64.zip holds one folder with
# the three programs (stripped of their debugging information), the music
# track, the licence and a README.txt with Windows line ends. The files carry
# a fixed date, so that the same programs give the same archive.
function(lumen_add_windows_package)
  set(name lumen-gravel-windows-x64)
  set(stage ${CMAKE_BINARY_DIR}/package)
  set(zip ${CMAKE_BINARY_DIR}/dist/${name}.zip)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/README.txt ${CMAKE_BINARY_DIR}/package-README.txt
                 @ONLY NEWLINE_STYLE CRLF)
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${CMAKE_BINARY_DIR}/package-LICENSE.txt COPYONLY)
  set(programs demo_console demo_gl demo_render)
  set(strip_commands)
  foreach(program ${programs})
    list(APPEND strip_commands COMMAND ${CMAKE_STRIP} -o ${stage}/${name}/${program}.exe $<TARGET_FILE:${program}>)
  endforeach()
  add_custom_command(
    OUTPUT ${zip}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}/${name} ${CMAKE_BINARY_DIR}/dist
    ${strip_commands}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_BINARY_DIR}/data/qx3.mp3 ${stage}/${name}/qx3.mp3
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_BINARY_DIR}/package-README.txt ${stage}/${name}/README.txt
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_BINARY_DIR}/package-LICENSE.txt ${stage}/${name}/LICENSE.txt
    COMMAND ${CMAKE_COMMAND} -E chdir ${stage}
            ${CMAKE_COMMAND} -E tar cf ${zip}.part --format=zip "--mtime=2014-06-01 00:00:00 UTC" ${name}
    COMMAND ${CMAKE_COMMAND} -E rename ${zip}.part ${zip}
    DEPENDS ${programs} soundtrack ${CMAKE_BINARY_DIR}/data/qx3.mp3 ${CMAKE_BINARY_DIR}/package-README.txt
            ${CMAKE_BINARY_DIR}/package-LICENSE.txt
    COMMENT "Packing ${name}.zip"
    VERBATIM)
  add_custom_target(windows_package ALL DEPENDS ${zip})
endfunction()
