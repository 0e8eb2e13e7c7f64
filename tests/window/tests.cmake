# End to end: the window behaviour under a real X server and window manager.
add_executable(trovimo_window_host "${CMAKE_CURRENT_SOURCE_DIR}/window/host/WindowHost.cpp")
target_link_libraries(trovimo_window_host PRIVATE trovimo_window)

add_test(NAME window_e2e_openbox
         COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/window/window_e2e.sh"
                 $<TARGET_FILE:trovimo_window_host>)
# Without Composite the panel cannot be translucent; covering then comes from the server.
add_test(NAME window_e2e_openbox_opaque
         COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/window/window_e2e.sh"
                 $<TARGET_FILE:trovimo_window_host> no-composite)
# 77: no X server could be started here.
set_tests_properties(window_e2e_openbox window_e2e_openbox_opaque PROPERTIES
    SKIP_RETURN_CODE 77 TIMEOUT 180 LABELS "window;e2e" RUN_SERIAL TRUE)
