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
install(FILES "${CMAKE_CURRENT_SOURCE_DIR}/packaging/copyright"
        DESTINATION "${CMAKE_INSTALL_DOCDIR}")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME trovimo)
set(CPACK_PACKAGE_VENDOR "Tsukimi Labs")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small performance monitor panel for the desktop")
set(CPACK_PACKAGE_DESCRIPTION
    "Trovimo keeps one narrow, translucent panel on the desktop that shows the CPU load\n\
(total and per core), GPU utilisation, memory and swap, network throughput, the home\n\
volume's capacity and what the monitor itself costs. Sampling stops while the panel is\n\
completely hidden.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tsukimi Labs <trovimo@tsukimi-labs.jp>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.tsukimi-labs.jp/trovimo/")

# The shared libraries the programs link come from dpkg-shlibdeps (dpkg-dev). Qt loads the
# X11 platform plugin and the SVG icon engine at run time, which no linker sees.
set(_runtime_plugins "qt6-qpa-plugins, libqt6svg6")
find_program(DPKG_SHLIBDEPS_PROGRAM dpkg-shlibdeps)
if(DPKG_SHLIBDEPS_PROGRAM)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "${_runtime_plugins}")
else()
    # Debian 12's names, for a build machine without dpkg-dev.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "libc6, libstdc++6, libqt6core6, libqt6gui6, libqt6widgets6, libqt6network6, \
libqt6svg6, libicu72, libnl-3-200, libnl-genl-3-200, libglib2.0-0, libxcb1, ${_runtime_plugins}")
endif()
# The panel's Japanese text needs a Japanese font; most Japanese desktops already have one.
# TrueType-outlined faces cost the panel far less memory than CFF-outlined ones.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fonts-ipaexfont-gothic | fonts-vlgothic | fonts-ipafont-gothic | fonts-noto-cjk")

include(CPack)
