# End-to-end fault cases for the real program; built only when the program and the
# sample tool are, since they are what is run.
if(NOT TARGET trovimo-sample)
    return()
endif()
add_executable(trovimo_fault_tests "${CMAKE_CURRENT_LIST_DIR}/FaultMatrix.h"
    "${CMAKE_CURRENT_LIST_DIR}/FaultMatrixTest.cpp" "${CMAKE_CURRENT_LIST_DIR}/SettingsFaultsTest.cpp")
target_link_libraries(trovimo_fault_tests PRIVATE trovimo_test_http PkgConfig::XCB)
target_compile_definitions(trovimo_fault_tests PRIVATE
    TROVIMO_PROGRAM="$<TARGET_FILE:trovimo>"
    TROVIMO_SAMPLE_PROGRAM="$<TARGET_FILE:trovimo-sample>")
add_dependencies(trovimo_fault_tests trovimo trovimo-sample)
# Each test runs with an X server and window manager of its own (exit 77: none here).
set_property(TARGET trovimo_fault_tests PROPERTY CROSSCOMPILING_EMULATOR
    bash "${CMAKE_CURRENT_LIST_DIR}/with-x-server.sh")
gtest_discover_tests(trovimo_fault_tests DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS faults RUN_SERIAL TRUE SKIP_RETURN_CODE 77)
