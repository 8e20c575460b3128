palaverly_benchmark(bench_roster SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_roster.cpp DEPS palaverly_station)
