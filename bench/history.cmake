# The record of writes: what recording adds to a write transaction, and how
# fast the record answers when it holds 100 000 writes.
aerolis_add_bench(bench_history SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_history.cpp LIBS aerolis_lnssim)
