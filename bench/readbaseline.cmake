# `aerolis read` against a bare Qt Core program that reads the same CPs
# through the object-server interface (bench_readbaseline.cpp).
add_executable(read_baseline ${CMAKE_CURRENT_SOURCE_DIR}/read_baseline.cpp)
target_link_libraries(read_baseline PRIVATE aerolis_lnssim Qt6::Core)
target_include_directories(read_baseline PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_compile_definitions(read_baseline PRIVATE AEROLIS_BIN_DIR="${AEROLIS_BIN_DIR}")
set_target_properties(read_baseline PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench/tools)

aerolis_add_bench(bench_readbaseline SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_readbaseline.cpp
                  LIBS aerolis_lnssim Qt6::Core)
add_dependencies(bench_readbaseline read_baseline aerolis)
target_compile_definitions(bench_readbaseline PRIVATE READ_BASELINE="$<TARGET_FILE:read_baseline>")
