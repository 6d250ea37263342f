# cmake --install: the three programs, the music track and a manual page for
# each, in the GNUInstallDirs layout (<prefix>/bin, <prefix>/share/lumen-gravel,
# <prefix>/share/man/man1), where the programs find the track from any
# working directory (frontends/common/program_files.h). Nothing else is
# installed: no tests, benchmarks, generators or libraries. The pages name
# the data directories this build looks in.
function(lumen_add_install_rules)
  install(TARGETS demo_console demo_gl demo_render RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${SHOW_DATA_DIR}/qx3.mp3 DESTINATION ${CMAKE_INSTALL_DATADIR}/lumen-gravel)
  foreach(program demo_console demo_gl demo_render)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/man/${program}.1 ${PROJECT_BINARY_DIR}/man/${program}.1 @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/man/${program}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
endfunction()
