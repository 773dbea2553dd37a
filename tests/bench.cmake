# The benchmark's own tests: statistics and verdicts, output checks, the
# generated manifest modules, and whole child runs of quarnel_bench.
quarnel_add_test(test_bench bench_test.cpp TIMEOUT 600)
target_link_libraries(test_bench PRIVATE quarnel_bench_core)
add_dependencies(test_bench quarnel_bench)
