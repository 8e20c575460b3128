palaverly_benchmark(bench_flood SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_flood.cpp DEPS palaverly_hub)
