# Reload of a large daily log file into the chat log view (the last 300 rows).
palaverly_benchmark(bench_reload SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_reload.cpp
    DEPS palaverly_station)
