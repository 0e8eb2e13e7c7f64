# The Debian package: built with CPack, then installed and removed (as root in CI) or
# unpacked into a scratch root, and its file list and dependencies checked.
file(GLOB _packaged_tools CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/src/tools/trovimo-*.cpp"
     "${CMAKE_SOURCE_DIR}/src/helpers/*.cpp")
set(_packaged_targets trovimo trovimo_docs)
foreach(_tool ${_packaged_tools})
    get_filename_component(_tool_name "${_tool}" NAME_WE)
    list(APPEND _packaged_targets ${_tool_name})
endforeach()
add_test(NAME app_package
         COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/app/package_test.sh" "${CMAKE_BINARY_DIR}"
                 ${_packaged_targets})
# 77: no dpkg here.
set_tests_properties(app_package PROPERTIES
    SKIP_RETURN_CODE 77 TIMEOUT 900 LABELS "app;package" RESOURCE_LOCK dpkg)

# End to end: the real program under Xvfb and openbox (display chosen by Xvfb itself).
add_test(NAME app_e2e_openbox
         COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/app/app_e2e.sh" $<TARGET_FILE:trovimo>)
# 77: no X server could be started here.
set_tests_properties(app_e2e_openbox PROPERTIES
    SKIP_RETURN_CODE 77 TIMEOUT 180 LABELS "app;e2e")

# End to end: how the desktop sees the program (taskbar, window class, shape without a
# compositor, tooltips, first placement, start at login from odd install paths).
add_test(NAME app_desktop_e2e
         COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/app/desktop_e2e.sh" $<TARGET_FILE:trovimo>
                 $<TARGET_FILE:trovimo_window_host>
                 "${CMAKE_SOURCE_DIR}/data/jp.tsukimilabs.Trovimo.desktop")
set_tests_properties(app_desktop_e2e PROPERTIES
    SKIP_RETURN_CODE 77 TIMEOUT 180 LABELS "app;e2e")

# The command line of both programs, and one panel per display under Xvfb and openbox.
add_test(NAME app_instance_cli_e2e
         COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/app/instance_cli_e2e.sh"
                 $<TARGET_FILE:trovimo> $<TARGET_FILE:trovimo-sample>)
set_tests_properties(app_instance_cli_e2e PROPERTIES
    SKIP_RETURN_CODE 77 TIMEOUT 180 LABELS "app;e2e")

# The settings and about windows' texts under a Japanese locale, where the desktop's face is a
# Japanese one of a single weight.
add_test(NAME WindowTexts.UnderJapaneseLocale
         COMMAND trovimo_app_tests --gtest_filter=*UnderEveryLocale)
set_tests_properties(WindowTexts.UnderJapaneseLocale PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=ja_JP.UTF-8;LC_ALL=ja_JP.UTF-8;LANGUAGE=ja"
    LABELS app)

# End to end with a screen reader's client: the panel and the settings through AT-SPI and the
# keyboard, on buses of the test's own.
add_test(NAME app_accessibility_e2e
         COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/app/accessibility_e2e.sh" $<TARGET_FILE:trovimo>)
set_tests_properties(app_accessibility_e2e PROPERTIES
    SKIP_RETURN_CODE 77 TIMEOUT 240 LABELS "app;e2e")

# End to end on the compositors users run, each started headless with XWayland (and sway
# without it, "wayland"). One at a time: each renders in software on the CPUs.
foreach(_compositor gnome-shell mutter kwin sway weston wayland)
    string(REPLACE "-" "_" _name "${_compositor}")
    add_test(NAME app_compositor_${_name}
             COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/app/compositor_e2e.sh" ${_compositor}
                     $<TARGET_FILE:trovimo> $<TARGET_FILE:trovimo_window_host>)
    set_tests_properties(app_compositor_${_name} PROPERTIES
        TIMEOUT 300 LABELS "app;e2e;compositor" RESOURCE_LOCK compositor)
endforeach()

# Another machine through Debian's node exporter on a loopback port: trovimo-sample --machine,
# a second panel beside this machine's with its own position, the exporter stopped and back.
add_test(NAME app_remote_e2e
         COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/app/remote_e2e.sh"
                 $<TARGET_FILE:trovimo> $<TARGET_FILE:trovimo-sample>)
set_tests_properties(app_remote_e2e PROPERTIES
    SKIP_RETURN_CODE 77 TIMEOUT 240 LABELS "app;e2e;remote")
