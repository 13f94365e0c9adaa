# The commissioning report of 100 controllers to PDF by the `aerolis` tool as
# a whole process (wall and CPU time, file size).
aerolis_add_bench(bench_report SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_report.cpp
                  LIBS aerolis_ui aerolis_lnssim Qt6::Widgets)
add_dependencies(bench_report aerolis)
