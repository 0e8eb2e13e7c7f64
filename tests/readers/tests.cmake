# The GPU reader's NVML path runs against a scripted stand-in for libnvidia-ml.so.1, loaded by
# path like the real one; a second build lacks an entry point (a broken installation).
add_library(trovimo_fake_nvml SHARED "${CMAKE_CURRENT_LIST_DIR}/fakenvml/FakeNvml.cpp")
add_library(trovimo_broken_nvml SHARED "${CMAKE_CURRENT_LIST_DIR}/fakenvml/FakeNvml.cpp")
target_compile_definitions(trovimo_broken_nvml PRIVATE FAKE_NVML_BROKEN)
set_target_properties(trovimo_fake_nvml trovimo_broken_nvml PROPERTIES
    CXX_VISIBILITY_PRESET hidden)
if(TARGET trovimo_readers_tests)
    add_dependencies(trovimo_readers_tests trovimo_fake_nvml trovimo_broken_nvml)
    target_compile_definitions(trovimo_readers_tests PRIVATE
        TROVIMO_FAKE_NVML="$<TARGET_FILE:trovimo_fake_nvml>"
        TROVIMO_BROKEN_NVML="$<TARGET_FILE:trovimo_broken_nvml>")
endif()

# trovimo-sample on the laptop's tree: the second line's optional blocks, figures as sensors,
# upower and iostat reckon them from the same files (40.75 of 57.02 Wh at 8.42 W; unchanged
# sector counts), the disk found from the home directory's mount through LVM and LUKS.
add_test(NAME trovimo_sample.optional_blocks
    COMMAND trovimo-sample --count 2 --interval 0.01
            --root "${CMAKE_CURRENT_LIST_DIR}/../fixtures/laptop")
set_tests_properties(trovimo_sample.optional_blocks PROPERTIES LABELS readers
    ENVIRONMENT "HOME=/home/ada"
    PASS_REGULAR_EXPRESSION "\n[^\n]*\"sensors\":{\"cpu\":{\"celsius\":52,\"high\":100,\"critical\":100},\"gpu\":null,\"ssd\":{\"celsius\":38.85,\"high\":81.85,\"critical\":84.85},\"fanRpm\":2400},\"battery\":{\"percent\":71.466[0-9]*,\"state\":\"discharging\",\"timeLeft\":17423,\"powerWatts\":8.42},\"diskActivity\":{\"readBytesPerSecond\":0,\"writeBytesPerSecond\":0,\"device\":\"nvme0n1\"},\"selfStats\"")

# Throughput over a veth pair in a network namespace of its own: needs CAP_NET_ADMIN and
# CAP_SYS_ADMIN (CI runs as root) and skips otherwise. A program of its own, without the Qt
# test main, so that it can fork while single-threaded.
add_executable(trovimo_netns_tests "${CMAKE_CURRENT_LIST_DIR}/netns/NetnsThroughputTest.cpp")
target_link_libraries(trovimo_netns_tests PRIVATE trovimo_readers GTest::gtest GTest::gtest_main)
gtest_discover_tests(trovimo_netns_tests DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS readers TIMEOUT 60)

# trovimo-sample over a captured tree: the second line carries a CPU load (counters unchanged,
# so 0 on both cores), the captured machine's memory (used = MemTotal - MemAvailable, to the
# byte) and a self-load value.
add_test(NAME trovimo_sample.fixture_root
    COMMAND trovimo-sample --count 2 --interval 0.01
            --root "${CMAKE_CURRENT_LIST_DIR}/../fixtures/sample-tool")
set_tests_properties(trovimo_sample.fixture_root PROPERTIES LABELS readers
    PASS_REGULAR_EXPRESSION "\n{\"cpu\":{\"total\":0,\"perCore\":\\[0,0\\]},\"gpu\":null,\"memory\":{\"used\":1201160192,[^\n]*\"selfStats\":{\"cpu\":[0-9.e-]+,\"memory\":163840}}")

# Wall-clock steps during sampling: a program of its own, since it stands in for
# clock_gettime for the whole process.
add_executable(trovimo_clockstep_tests "${CMAKE_CURRENT_LIST_DIR}/clockstep/ClockStepTest.cpp")
target_include_directories(trovimo_clockstep_tests PRIVATE "${CMAKE_CURRENT_LIST_DIR}")
target_link_libraries(trovimo_clockstep_tests PRIVATE trovimo_readers trovimo_test_support)
set_target_properties(trovimo_clockstep_tests PROPERTIES ENABLE_EXPORTS ON)
gtest_discover_tests(trovimo_clockstep_tests DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" LABELS readers)
