# Remote access against local access in the same run: a read of one
# controller, a write to 100 controllers, the set-up of a connection and ten
# sessions at once. The remote side needs a server (AEROLIS_TEST_PG_SERVER,
# as scripts/pg-cluster start exports it); without one it is skipped.
aerolis_add_bench(bench_remote SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_remote.cpp LIBS aerolis_lnssim Qt6::Sql)
