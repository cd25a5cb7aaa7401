# Runs one bounded fuzz session: a fresh working corpus in the build tree (so
# the seeds in the source tree are only read), crash inputs kept for inspection.
#   cmake -DFUZZER=... -DSEEDS=... -DCORPUS=... -DARTIFACTS=... -DSECONDS=... -P run_fuzzer.cmake
foreach(variable FUZZER SEEDS CORPUS ARTIFACTS SECONDS)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "run_fuzzer.cmake needs -D${variable}=...")
  endif()
endforeach()

file(REMOVE_RECURSE "${CORPUS}")
file(MAKE_DIRECTORY "${CORPUS}" "${ARTIFACTS}")

execute_process(
  COMMAND "${FUZZER}"
    -max_total_time=${SECONDS}
    -timeout=5
    -rss_limit_mb=2048
    -max_len=4096
    -artifact_prefix=${ARTIFACTS}/
    "${CORPUS}" "${SEEDS}"
  RESULT_VARIABLE result)

if(NOT result EQUAL 0)
  message(FATAL_ERROR "${FUZZER} failed (${result}); crash inputs are in ${ARTIFACTS}")
endif()
