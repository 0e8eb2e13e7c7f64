# The link graph as configured, checked against the sources' includes: every library and
# program links the folders and packages its files include and nothing else, no library
# links in a circle, and each test program includes only what its library brings along, so
# it builds and links on its own. Written at configure time; the test reads no build output.
set(_graph "${CMAKE_BINARY_DIR}/link-graph.cmake")
set(_text "")
foreach(_folder core model readers remote update fetch window panel app tools)
    get_target_property(_links trovimo_${_folder} LINK_LIBRARIES)
    string(APPEND _text "set(library_${_folder} \"${_links}\")\n")
    list(APPEND _libraries ${_folder})
endforeach()
string(APPEND _text "set(libraries \"${_libraries}\")\n")

# Programs: what they are built from, what they link, and whether they must link exactly
# what they include (the shipped ones) or may lean on what their library brings (tests).
set(_exact trovimo trovimo-feed-fetch trovimo-sample)
set(_programs ${_exact} trovimo_fault_tests trovimo_netns_tests trovimo_clockstep_tests
    trovimo_soak trovimo_window_host)
foreach(_folder core model readers remote panel window app update tools)
    list(APPEND _programs trovimo_${_folder}_tests)
endforeach()
foreach(_program ${_programs})
    if(NOT TARGET ${_program})
        continue()
    endif()
    get_target_property(_links ${_program} LINK_LIBRARIES)
    get_target_property(_sources ${_program} SOURCES)
    get_target_property(_dir ${_program} SOURCE_DIR)
    set(_absolute "")
    foreach(_source ${_sources})
        cmake_path(ABSOLUTE_PATH _source BASE_DIRECTORY "${_dir}")
        list(APPEND _absolute "${_source}")
    endforeach()
    string(APPEND _text "set(program_${_program} \"${_links}\")\n"
                        "set(sources_${_program} \"${_absolute}\")\n")
    list(APPEND _checked ${_program})
endforeach()
string(APPEND _text "set(programs \"${_checked}\")\nset(exact \"${_exact}\")\n"
                    "set(dl_libs \"${CMAKE_DL_LIBS}\")\n")
file(WRITE "${_graph}" "${_text}")

add_test(NAME build.link_graph
         COMMAND "${CMAKE_COMMAND}" -DGRAPH=${_graph} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
                 -P "${CMAKE_CURRENT_LIST_DIR}/LinkGraph.cmake")
set_tests_properties(build.link_graph PROPERTIES LABELS build)
