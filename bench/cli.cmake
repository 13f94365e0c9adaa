aerolis_add_bench(bench_cli SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_cli.cpp
                  LIBS aerolis_ui aerolis_lnssim Qt6::Widgets)
add_dependencies(bench_cli aerolis AerolisCtrl)
