# The install layout ("cmake --install", "make package"):
#   bin/                  veltrano, veltrano-cli
#   lib/veltrano/         the project's own shared libraries: private, found
#                         through each program's RPATH ($ORIGIN-relative, so
#                         the prefix can be anywhere), never on the system's path
#   share/veltrano/       CustomFormats.xml, languages/, help/
#   share/applications/, share/icons/hicolor/, share/mime/packages/,
#   share/metainfo/       what the desktop needs to list and open the program
set(VELTRANO_APP_ID org.tarvolen.Veltrano)
set(VELTRANO_RESOURCES ${CMAKE_SOURCE_DIR}/veltrano/resources)

foreach(lib avkit tagio framedec blitkit wmvwriter linguakit tagflow pixfilter mp4label projcore)
  if(TARGET ${lib})
    set_target_properties(${lib} PROPERTIES INSTALL_RPATH "$ORIGIN")
    install(TARGETS ${lib} LIBRARY DESTINATION ${VELTRANO_INSTALL_LIBDIR} COMPONENT Runtime)
  endif()
endforeach()

foreach(program veltrano veltrano-cli)
  if(TARGET ${program})
    set_target_properties(${program} PROPERTIES INSTALL_RPATH "$ORIGIN/../${VELTRANO_INSTALL_LIBDIR}")
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime)
  endif()
endforeach()

# The programs look for these in ../share/veltrano from their own folder.
install(FILES ${VELTRANO_RESOURCES}/CustomFormats.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/veltrano COMPONENT Runtime)
install(DIRECTORY ${VELTRANO_RESOURCES}/languages DESTINATION ${CMAKE_INSTALL_DATADIR}/veltrano COMPONENT Runtime)
install(FILES ${VELTRANO_RESOURCES}/help.html DESTINATION ${CMAKE_INSTALL_DATADIR}/veltrano/help COMPONENT Runtime)

install(FILES ${VELTRANO_RESOURCES}/desktop/veltrano.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT Runtime)
install(FILES ${VELTRANO_RESOURCES}/desktop/veltrano-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME veltrano.xml COMPONENT Runtime)
set(VELTRANO_VERSION ${Veltrano_VERSION})
configure_file(${VELTRANO_RESOURCES}/desktop/veltrano.metainfo.xml
               ${CMAKE_BINARY_DIR}/install/${VELTRANO_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/install/${VELTRANO_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT Runtime)

foreach(size 16 22 24 32 48 64 128 256)
  install(FILES ${VELTRANO_RESOURCES}/icons/hicolor/veltrano-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME veltrano.png COMPONENT Runtime)
endforeach()
install(FILES ${VELTRANO_RESOURCES}/icons/veltrano.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT Runtime)

# Installs into a scratch DESTDIR and runs and checks what landed there.
add_test(NAME install.InstalledProgramsFindTheirFilesAndValidate
         COMMAND bash ${CMAKE_SOURCE_DIR}/tests/install/check-install.sh
                 ${CMAKE_BINARY_DIR} ${VELTRANO_FIXTURES_DIR}/flv1_mp3_160x120.flv ${Veltrano_VERSION})
