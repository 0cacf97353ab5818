# The Debian package, built by CPack (scripts/package.sh). Each program is
# packaged only when it is built here, so the package grows with the tree.
find_program(HELP2MAN help2man)
find_program(GZIP gzip REQUIRED)
set(app_id ru.tarvin9.tarvin9)
set(pkg_doc ${CMAKE_INSTALL_DATADIR}/doc/tarvin9)

# A manual page made from a program's --help: `name` is the command as installed.
function(tarvin_man_page target name summary)
  if(NOT HELP2MAN)
    message(WARNING "help2man not found: no manual page for ${name}")
    return()
  endif()
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/man)
  # The NAME line goes in through an include file: help2man reads those as
  # UTF-8 under --locale, but takes --name as bytes and encodes them twice.
  file(WRITE ${dir}/${name}.h2m "[name]\n${name} \\- ${summary}\n")
  # help2man names the page after the file it runs: a link gives the installed name.
  add_custom_command(OUTPUT ${dir}/${name}.1.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${CMAKE_COMMAND} -E create_symlink $<TARGET_FILE:${target}> ${dir}/${name}
    COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 ${HELP2MAN} --locale=C.UTF-8 --no-info --no-discard-stderr
            --version-string=${PROJECT_VERSION} --include=${dir}/${name}.h2m --section=1
            --output=${dir}/${name}.1 ${dir}/${name}
    COMMAND ${GZIP} -9nf ${dir}/${name}.1
    DEPENDS ${target} ${dir}/${name}.h2m
    COMMENT "Manual page ${name}(1)"
    VERBATIM)
  add_custom_target(man_${target} ALL DEPENDS ${dir}/${name}.1.gz)
  install(FILES ${dir}/${name}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

if(TARGET tarvin9)
  tarvin_man_page(tarvin9 tarvin9 "программа пользователя датчика Тарвин-9")
  install(FILES assets/ok.jpg assets/no_con.jpeg assets/smile.jpg DESTINATION ${CMAKE_INSTALL_DATADIR}/tarvin9)
  install(FILES packaging/${app_id}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES packaging/icon.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
          RENAME ${app_id}.svg)
  configure_file(packaging/${app_id}.metainfo.xml.in ${app_id}.metainfo.xml @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${app_id}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()
if(TARGET tarvin9-recorder)
  tarvin_man_page(tarvin9-recorder tarvin9-recorder "records a Tarvin-9 sensor's events and oscillograms")
  if(EXISTS ${PROJECT_SOURCE_DIR}/recorder/tarvin9-recorder@.service)
    install(FILES recorder/tarvin9-recorder@.service DESTINATION lib/systemd/system)
  endif()
endif()
if(TARGET tarvin9-osc)
  tarvin_man_page(tarvin9-osc tarvin9-osc "shows and converts Tarvin-9 oscillogram files")
endif()
if(TARGET tarvin_sim)
  # The simulator under the package's name; the build's tarvin_sim keeps its
  # name for the tests and scripts/run.sh.
  add_executable(tarvin9-sim sim/main.cpp)
  target_link_libraries(tarvin9-sim PRIVATE tarvin_sim_lib)
  install(TARGETS tarvin9-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  tarvin_man_page(tarvin9-sim tarvin9-sim "plays a Tarvin-9 sensor on a pseudo-terminal")
endif()

# The control room's page, served by mosquitto's websockets listener from
# /usr/share/tarvin9/site, with the browser bundles of its locked npm packages
# (copied in when the package is made: the page loads nothing from the
# internet), and example broker configurations that nothing enables.
find_program(NPM npm)
find_program(NODE node)
set(site_work ${CMAKE_CURRENT_BINARY_DIR}/site-npm)
install(CODE "set(NPM \"${NPM}\")
  set(NODE \"${NODE}\")
  set(SITE_SOURCE \"${PROJECT_SOURCE_DIR}/site\")
  set(WORK \"${site_work}\")
  include(\"${PROJECT_SOURCE_DIR}/cmake/site_vendor.cmake\")")
set(site_dest ${CMAKE_INSTALL_DATADIR}/tarvin9/site)
install(FILES site/index.html site/style.css DESTINATION ${site_dest})
install(DIRECTORY site/js/ DESTINATION ${site_dest}/js FILES_MATCHING PATTERN "*.js")
install(DIRECTORY ${site_work}/vendor/ DESTINATION ${site_dest}/vendor)
install(FILES packaging/mosquitto/tarvin9-site.conf packaging/mosquitto/tarvin9-central.conf
              packaging/mosquitto/tarvin9.acl DESTINATION ${pkg_doc}/mosquitto)

configure_file(packaging/changelog.in changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
  COMMAND ${GZIP} -9nkf ${CMAKE_CURRENT_BINARY_DIR}/changelog
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
install(FILES packaging/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz DESTINATION ${pkg_doc})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvin9)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Тарвин-9 developers <tarvin9@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "user kit of the Tarvin-9 perimeter sensor")
set(CPACK_PACKAGE_DESCRIPTION
  "The window that talks to the capacitive perimeter-security sensor Tarvin-9\n"
  "over a serial port (through an RS-485 adapter): firmware check, flank balance,\n"
  "live oscillograms, saved oscillograms, threshold and address settings, link\n"
  "diagnostics. With it: the recorder (a service that logs events and saves\n"
  "oscillograms), the oscillogram tool and a sensor simulator.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
include(CPack)
