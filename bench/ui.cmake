aerolis_add_bench(bench_ui SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_ui.cpp LIBS aerolis_ui Qt6::Widgets)
