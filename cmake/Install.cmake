# The install layout ("cmake --install", "make package"):
#   bin/                  veltrano, veltrano-cli, veltrano-mirror
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
# The recipe for many files on many machines over GNU parallel (a
# recommended package, not a dependency: the programs run without it).
set(VELTRANO_MIRROR ${CMAKE_BINARY_DIR}/tools/veltrano-cli/veltrano-mirror)
install(PROGRAMS ${VELTRANO_MIRROR} DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS parallel)

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

# Manual pages made from the programs' own --help and --version at build
# time, so they cannot drift from what the programs say.
find_program(VELTRANO_HELP2MAN help2man)
find_program(VELTRANO_GZIP gzip)
if(VELTRANO_HELP2MAN AND VELTRANO_GZIP AND TARGET veltrano AND TARGET veltrano-cli)
  set(VELTRANO_MANPAGES)
  foreach(entry "veltrano|edit FLV files and convert them to other formats"
                "veltrano-cli|convert Veltrano projects and FLV files without windows"
                "veltrano-mirror|convert a folder tree of FLV files on one or several machines")
    string(REPLACE "|" ";" entry "${entry}")
    list(GET entry 0 program)
    list(GET entry 1 summary)
    if(TARGET ${program})
      set(executable $<TARGET_FILE:${program}>)
      set(dependency ${program})
    else()
      set(executable ${VELTRANO_MIRROR})   # a script, not a built target
      set(dependency ${VELTRANO_MIRROR})
    endif()
    set(page ${CMAKE_BINARY_DIR}/install/${program}.1.gz)
    add_custom_command(OUTPUT ${page}
      COMMAND ${CMAKE_COMMAND} -E env SDL_AUDIODRIVER=dummy
              ${VELTRANO_HELP2MAN} --no-info --no-discard-stderr --name=${summary}
              --output=${CMAKE_BINARY_DIR}/install/${program}.1 ${executable}
      COMMAND ${VELTRANO_GZIP} -9nf ${CMAKE_BINARY_DIR}/install/${program}.1
      DEPENDS ${dependency}
      COMMENT "Making the manual page ${program}(1)"
      VERBATIM)
    list(APPEND VELTRANO_MANPAGES ${page})
  endforeach()
  add_custom_target(veltrano_manpages ALL DEPENDS ${VELTRANO_MANPAGES})
  install(FILES ${VELTRANO_MANPAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT Runtime)
  set(VELTRANO_CHECK_MANPAGES 1)
else()
  message(STATUS "help2man or gzip not found: no manual pages (make deps installs help2man)")
  set(VELTRANO_CHECK_MANPAGES 0)
endif()

# Completion for veltrano-cli; its options are read from the program's --help.
install(FILES ${CMAKE_SOURCE_DIR}/tools/veltrano-cli/completion/veltrano-cli.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME veltrano-cli COMPONENT Runtime)

# Installs into a scratch DESTDIR and runs and checks what landed there.
add_test(NAME install.InstalledProgramsFindTheirFilesAndValidate
         COMMAND bash ${CMAKE_SOURCE_DIR}/tests/install/check-install.sh
                 ${CMAKE_BINARY_DIR} ${VELTRANO_FIXTURES_DIR}/flv1_mp3_160x120.flv ${Veltrano_VERSION}
                 ${VELTRANO_CHECK_MANPAGES})

# What Debian asks of every package: the copyright file and a changelog,
# compressed the way dpkg-deb leaves it.
configure_file(${CMAKE_SOURCE_DIR}/cmake/debian/changelog.in ${CMAKE_BINARY_DIR}/install/changelog @ONLY)
if(VELTRANO_GZIP)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/install/changelog.gz
    COMMAND ${VELTRANO_GZIP} -9nkf ${CMAKE_BINARY_DIR}/install/changelog
    DEPENDS ${CMAKE_BINARY_DIR}/install/changelog VERBATIM)
  add_custom_target(veltrano_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/install/changelog.gz)
  install(FILES ${CMAKE_BINARY_DIR}/install/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/veltrano COMPONENT Runtime)
endif()
install(FILES ${CMAKE_SOURCE_DIR}/cmake/debian/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/veltrano COMPONENT Runtime)

# "make package": a Debian package of the Runtime component. Its run-time
# dependencies are computed from the binaries by dpkg-shlibdeps, never typed.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME veltrano)
set(CPACK_PACKAGE_VERSION ${Veltrano_VERSION})
set(CPACK_PACKAGE_VENDOR Tarvolen)
set(CPACK_PACKAGE_CONTACT "Veltrano developers <veltrano@tarvolen.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "FLV editor and converter")
set(CPACK_PACKAGE_DESCRIPTION
    "Veltrano cuts FLV files into sequences, trims and crops them, adds picture\n"
    "effects, watermarks and subtitles, and converts them to MP4, AVI, WMV, 3GP\n"
    "and other formats with ready-made output profiles. veltrano-cli converts\n"
    "projects and files with the same profiles without windows.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# System libraries loaded on first use are NEEDed by nothing dpkg-shlibdeps reads.
get_property(VELTRANO_LAZY_PACKAGES GLOBAL PROPERTY VELTRANO_LAZY_PACKAGES)
if(VELTRANO_LAZY_PACKAGES)
  list(REMOVE_DUPLICATES VELTRANO_LAZY_PACKAGES)
  string(REPLACE ";" ", " CPACK_DEBIAN_PACKAGE_DEPENDS "${VELTRANO_LAZY_PACKAGES}")
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
