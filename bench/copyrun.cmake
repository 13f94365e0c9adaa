# The copy run to 10 and 100 controllers from the window (CPU time, device
# transactions and modelled channel time per object).
aerolis_add_bench(bench_copyrun SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_copyrun.cpp
                  LIBS aerolis_ui aerolis_lnssim Qt6::Widgets)
