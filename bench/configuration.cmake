aerolis_add_bench(bench_configuration SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_configuration.cpp
                  LIBS aerolis_ui aerolis_lnssim Qt6::Widgets)
