# Monitoring: updates decoded and shown on the real controlling page, the
# decoding alone, and the modelled channel load of monitoring controllers.
aerolis_add_bench(bench_monitoring SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_monitoring.cpp
  LIBS aerolis_monitoring_page aerolis_lnssim aerolis_ui Qt6::Widgets)
