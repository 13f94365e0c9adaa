# A site: opening a network and reading one controller in a 22- and a
# 1012-device network, and a copy-like workload over one and ten channels
# (per-channel traffic and modelled wall time).
aerolis_add_bench(bench_site SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_site.cpp LIBS aerolis_lnssim)
