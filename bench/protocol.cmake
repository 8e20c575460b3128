# Datagram codec: building, scrambling and recognising each command.
palaverly_benchmark(bench_codec SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_codec.cpp
    DEPS palaverly_wire)
