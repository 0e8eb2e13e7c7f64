add_executable(trovimo_soak "${CMAKE_CURRENT_LIST_DIR}/Soak.cpp")
target_link_libraries(trovimo_soak PRIVATE trovimo_readers trovimo_model)
# A short run in every test pass; scripts/soak runs the full million ticks.
add_test(NAME soak.short COMMAND trovimo_soak --ticks 20000 --max-growth-kb 1024)
set_tests_properties(soak.short PROPERTIES LABELS soak)
