# The parameter model: a full read and a full write of one controller's
# parameter map through the simulated object server (device transactions,
# CPU time with no latency, modelled time on the 78 kbit/s channel), and the
# text / value / CP bytes conversions of a text-box parameter.
aerolis_add_bench(bench_params SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_params.cpp
                  LIBS aerolis_params aerolis_ui aerolis_lnssim Qt6::Widgets)
target_include_directories(bench_params PRIVATE ${CMAKE_SOURCE_DIR}/tests/common ${CMAKE_SOURCE_DIR}/tests/params)
