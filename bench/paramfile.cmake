# Parameter files and copies to many devices: save and load of the
# controller's whole set, the multi-device search on networks of 100 and 1000
# controllers, and the per-object write of a copy run (device transactions,
# CPU time with no latency, modelled time on the 78 kbit/s channel).
aerolis_add_bench(bench_paramfile SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_paramfile.cpp
                  LIBS aerolis_params aerolis_ui aerolis_lnssim Qt6::Widgets)
target_include_directories(bench_paramfile PRIVATE ${CMAKE_SOURCE_DIR}/tests/common ${CMAKE_SOURCE_DIR}/tests/params)
