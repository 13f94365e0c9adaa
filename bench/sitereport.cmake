# `aerolis report --csv` of 10, 100 and 1000 controllers on ten channels, run
# in this process: CPU per controller, network opens per run, device reads
# per controller and the modelled wall time against the busiest channel; and
# `aerolis read` of one controller in a 22- and a 1012-device network.
aerolis_add_bench(bench_sitereport SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_sitereport.cpp
                  LIBS aerolis_cli aerolis_lnssim Qt6::Core)
# The commands find the device templates, the string table and the
# application images in their data folder: the tool's, beside this program.
foreach(_data AerolisCtrl.ini strings.tsv apps help)
  add_custom_command(TARGET bench_sitereport POST_BUILD
                     COMMAND ${CMAKE_COMMAND} -E create_symlink ${AEROLIS_BIN_DIR}/${_data}
                             $<TARGET_FILE_DIR:bench_sitereport>/${_data})
endforeach()
