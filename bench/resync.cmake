# `aerolis resync` of 100 controllers on ten channels, run in this process:
# the priced CP reads against the device transactions the simulator counted,
# the modelled wall time and the CPU per controller; the same with --push.
aerolis_add_bench(bench_resync SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_resync.cpp
                  LIBS aerolis_cli aerolis_lnssim Qt6::Core)
# The commands find the device templates, the string table and the
# application images in their data folder: the tool's, beside this program.
foreach(_data AerolisCtrl.ini strings.tsv apps help)
  add_custom_command(TARGET bench_resync POST_BUILD
                     COMMAND ${CMAKE_COMMAND} -E create_symlink ${AEROLIS_BIN_DIR}/${_data}
                             $<TARGET_FILE_DIR:bench_resync>/${_data})
endforeach()
