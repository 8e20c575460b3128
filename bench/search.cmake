# Search over a year of daily log files (365 files of 1,000 lines).
palaverly_benchmark(bench_search SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_search.cpp
    DEPS palaverly_station)
