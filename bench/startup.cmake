add_executable(bench_minimal_widgets ${CMAKE_CURRENT_SOURCE_DIR}/minimal_widgets.cpp)
target_link_libraries(bench_minimal_widgets PRIVATE Qt6::Widgets)
set_target_properties(bench_minimal_widgets PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench/tools)

aerolis_add_bench(bench_startup SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_startup.cpp LIBS Qt6::Core)
add_dependencies(bench_startup bench_minimal_widgets AerolisCtrl aerolis-net)
target_compile_definitions(bench_startup PRIVATE
  MINIMAL_WIDGETS="$<TARGET_FILE:bench_minimal_widgets>")
