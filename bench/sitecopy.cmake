# `aerolis copy` to 10, 100 and 1000 controllers on ten channels as a
# whole process: CPU per controller, device transactions per controller for
# an unchanged file and for one changed value (--skip-matching), and the
# run's modelled wall time against its busiest channel and the sum.
aerolis_add_bench(bench_sitecopy SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_sitecopy.cpp
                  LIBS aerolis_lnssim Qt6::Core)
add_dependencies(bench_sitecopy aerolis)
