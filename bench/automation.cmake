# The plug-in launched over the bus by a network tool against the same
# plug-in started from the command line, and the project registration.
aerolis_add_bench(bench_automation SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_automation.cpp LIBS aerolis_automation aerolis_lnssim)
add_dependencies(bench_automation AerolisCtrl aerolis-net)
