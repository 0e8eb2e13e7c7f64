# The store runs the real fetch helper against a local server.
target_link_libraries(trovimo_update_tests PRIVATE trovimo_test_http)
target_compile_definitions(trovimo_update_tests PRIVATE
    TROVIMO_FEED_FETCH="$<TARGET_FILE:trovimo-feed-fetch>")
add_dependencies(trovimo_update_tests trovimo-feed-fetch)
