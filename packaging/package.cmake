# The Debian package: `cmake --build build --target package` (or cpack in build/) writes
# orvanta_VERSION_amd64.deb with the programs in /usr/bin, the plugins in GStreamer's
# system plugin directory (found with no GST_PLUGIN_PATH), the service units, the service
# user, the power-off rule and the README.
set(ORVANTA_VERSION 0.1.0)
pkg_get_variable(ORVANTA_GST_PLUGINS_DIR gstreamer-1.0 pluginsdir)
string(REGEX REPLACE "^/usr/" "" orvanta_plugin_destination "${ORVANTA_GST_PLUGINS_DIR}")

foreach(program zavip zavip-tool)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION bin)
  endif()
endforeach()
foreach(plugin zavipf zaviprf)
  if(TARGET ${plugin})
    install(TARGETS ${plugin} LIBRARY DESTINATION ${orvanta_plugin_destination})
  endif()
endforeach()
set(orvanta_packaging ${CMAKE_SOURCE_DIR}/packaging)
install(FILES ${orvanta_packaging}/orvanta-station@.service DESTINATION lib/systemd/system)
install(FILES ${orvanta_packaging}/orvanta-station.service DESTINATION lib/systemd/user)
install(FILES ${orvanta_packaging}/orvanta.sysusers DESTINATION lib/sysusers.d
        RENAME orvanta.conf)
install(FILES ${orvanta_packaging}/50-orvanta-station.rules
        DESTINATION share/polkit-1/rules.d)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION share/doc/orvanta)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvanta)
set(CPACK_PACKAGE_VERSION ${ORVANTA_VERSION})
set(CPACK_PACKAGE_CONTACT "Orvanta developers <orvanta@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "unattended night-sky meteor station")
set(CPACK_PACKAGE_DESCRIPTION
    "Watches a camera pointed at the night sky and keeps short clips of whatever moves\n\
across the picture, meteors above all: the station program zavip (also as a systemd\n\
service), the scripting tool zavip-tool and the detection filter for GStreamer.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What dpkg-shlibdeps cannot see: the elements the station's graphs are made of (sources,
# decoders, the AVI writer, conversions).
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-libav, passwd")
# The power-off after the night's detection needs polkit to read the shipped rule; H.264
# recording (x264enc) and more stream parsers are a choice of the settings.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "polkitd")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gstreamer1.0-plugins-ugly, gstreamer1.0-plugins-bad")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${orvanta_packaging}/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
