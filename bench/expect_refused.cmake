# Runs one benchmark of PROGRAM (FILTER) whose permits are withheld (MERLON_BENCH_WITHOUT_PERMITS in
# the environment): passes only when the benchmark stopped with an error and the refused writes of
# the books were said (refused_writes_watch.cpp).
execute_process(COMMAND ${PROGRAM} --benchmark_filter=${FILTER} --benchmark_min_time=0.001
                OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
message("${out}")
message("${err}")
if(NOT out MATCHES "${FILTER}[^\n]*ERROR OCCURRED")
  message(FATAL_ERROR "${FILTER} measured its work although its writes were refused (status ${status})")
endif()
if(NOT err MATCHES "Write of the books refused")
  message(FATAL_ERROR "${FILTER}: no refused write of the books was said")
endif()
