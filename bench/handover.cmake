# Hand-over from the receive thread: throughput and wake-ups per datagram under a burst.
palaverly_benchmark(bench_handover SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_handover.cpp
    DEPS palaverly_sys Threads::Threads)
