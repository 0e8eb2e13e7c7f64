# Desktop integration and the Debian package.
#
#   cmake --install build --prefix ~/.local     # or /usr/local, /usr
#   cpack --config build/CPackConfig.cmake -B build/package
#
# The desktop entry, the icon and the AppStream file are named after the application id, so
# the desktop can match the running window (Wayland app id, see main.cpp) to its entry.
set(TROVIMO_APPLICATION_ID "jp.tsukimilabs.Trovimo")
set(_data "${CMAKE_CURRENT_SOURCE_DIR}/data")

install(FILES "${_data}/${TROVIMO_APPLICATION_ID}.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${_data}/${TROVIMO_APPLICATION_ID}.svg"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
install(FILES "${_data}/${TROVIMO_APPLICATION_ID}.metainfo.xml"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")

# Debian finds a package's documents under the package's own name, in lower case.
set(_docdir "${CMAKE_INSTALL_DATAROOTDIR}/doc/trovimo")
install(FILES "${CMAKE_CURRENT_SOURCE_DIR}/packaging/copyright" DESTINATION "${_docdir}")

# The changelog's latest entry names the version and the release date; the manual pages
# carry that date, so the same sources always build the same pages.
set(_changelog "${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog")
file(READ "${_changelog}" _changes)
if(NOT _changes MATCHES "^trovimo \\(${PROJECT_VERSION}\\) ")
    message(WARNING "packaging/changelog has no entry for ${PROJECT_VERSION} at its top")
endif()
if(NOT _changes MATCHES "\n -- [^\n]*  [A-Z][a-z][a-z], ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9]+) ")
    message(FATAL_ERROR "packaging/changelog: no dated trailer line in its latest entry")
endif()
set(_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND _months "${CMAKE_MATCH_2}" _month)
math(EXPR _month "${_month} + 1")
if(_month LESS 10)
    set(_month "0${_month}")
endif()
set(TROVIMO_MAN_DATE "${CMAKE_MATCH_3}-${_month}-${CMAKE_MATCH_1}")

# Manual pages and the changelog, compressed as Debian wants them (gzip -9, no name or
# time stamp inside).
set(_gzipped)
function(trovimo_gzip source destination)
    add_custom_command(OUTPUT "${source}.gz"
                       COMMAND gzip -9nkf "${source}"
                       DEPENDS "${source}" VERBATIM)
    install(FILES "${source}.gz" DESTINATION "${destination}")
    set(_gzipped ${_gzipped} "${source}.gz" PARENT_SCOPE)
endfunction()
foreach(_page trovimo trovimo-sample)
    configure_file("${CMAKE_CURRENT_SOURCE_DIR}/docs/man/${_page}.1.in"
                   "${CMAKE_CURRENT_BINARY_DIR}/man/${_page}.1" @ONLY)
    trovimo_gzip("${CMAKE_CURRENT_BINARY_DIR}/man/${_page}.1" "${CMAKE_INSTALL_MANDIR}/man1")
endforeach()
configure_file("${_changelog}" "${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog" COPYONLY)
trovimo_gzip("${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog" "${_docdir}")
add_custom_target(trovimo_docs ALL DEPENDS ${_gzipped})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME trovimo)
set(CPACK_PACKAGE_VENDOR "Tsukimi Labs")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small performance monitor panel for the desktop")
# One paragraph, its lines kept under 80 columns as Debian's tools want them.
set(CPACK_PACKAGE_DESCRIPTION
    "Trovimo keeps one narrow, translucent panel on the desktop that shows the\n\
CPU load (total and per core), GPU utilisation, memory and swap, network\n\
throughput, the home volume's capacity and what the monitor itself costs.\n\
Sampling stops while the panel is completely hidden.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tsukimi Labs <trovimo@tsukimi-labs.jp>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.tsukimi-labs.jp/trovimo/")

# The shared libraries the programs link come from dpkg-shlibdeps (dpkg-dev). Qt loads the
# X11 and Wayland platform plugins and the SVG icon engine at run time, which no linker sees
# (without the Wayland one a session with no XWayland could not show the panel at all), and
# the panel loads libssl when it first reads another machine over https.
set(_runtime_plugins "qt6-qpa-plugins, qt6-wayland, libqt6svg6, libssl3")
find_program(DPKG_SHLIBDEPS_PROGRAM dpkg-shlibdeps)
if(DPKG_SHLIBDEPS_PROGRAM)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "${_runtime_plugins}")
else()
    # Debian 12's names, for a build machine without dpkg-dev.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "libc6, libstdc++6, libqt6core6, libqt6gui6, libqt6widgets6, libqt6network6, libqt6dbus6, \
libqt6svg6, libicu72, libnl-3-200, libnl-genl-3-200, libglib2.0-0, libxcb1, ${_runtime_plugins}")
endif()
# The panel's Japanese text needs a Japanese font; most Japanese desktops already have one.
# TrueType-outlined faces cost the panel far less memory than CFF-outlined ones.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fonts-ipaexfont-gothic | fonts-vlgothic | fonts-ipafont-gothic | fonts-noto-cjk")

include(CPack)
