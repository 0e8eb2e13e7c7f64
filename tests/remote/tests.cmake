# The poller reads a loopback server's canned answers.
target_link_libraries(trovimo_remote_tests PRIVATE trovimo_test_http)
