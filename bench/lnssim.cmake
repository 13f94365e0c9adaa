# The simulated object server: CPU cost of CP access through the object
# server interface, and the modelled channel cost of a full read.
aerolis_add_bench(bench_lnssim SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_lnssim.cpp LIBS aerolis_lnssim)
