# `aerolis copy` to 1000 controllers as a whole process (CPU time, device
# transactions and modelled channel time per controller and per run).
aerolis_add_bench(bench_clicopy SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_clicopy.cpp
                  LIBS aerolis_lnssim Qt6::Core)
add_dependencies(bench_clicopy aerolis)
