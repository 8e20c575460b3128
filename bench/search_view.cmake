# The log search window's list given a year of hits: the model over the hit vector, and an
# item per hit next to it for comparison.
if(TARGET palaverly_desktop)
    palaverly_benchmark(bench_search_view SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_search_view.cpp
        DEPS palaverly_desktop)
endif()
