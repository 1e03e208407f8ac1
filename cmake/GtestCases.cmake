# kz_add_gtest_cases(<target> <prefix> [TIMEOUT <s>] [SHARDS <n>]): the gtest program's cases
# as CTest tests.
#
# Where 32-bit programs run natively, each case is its own test "<prefix><Suite>.<Case>"
# (gtest_discover_tests): a failure names its case, and a case starts from a fresh process.
# Under qemu-i386 a process start costs about half a second of CPU, more than most cases
# take, so there the program runs as <n> shards "<prefix>shard_<i>_of_<n>" (gtest's own
# GTEST_TOTAL_SHARDS and GTEST_SHARD_INDEX), each running every n-th case in one process;
# its output names each case that failed or was skipped. TIMEOUT bounds each test (default
# 600 s); SHARDS defaults to 2.
function(kz_add_gtest_cases target prefix)
    cmake_parse_arguments(PARSE_ARGV 2 CASES "" "TIMEOUT;SHARDS" "")
    if(NOT CASES_TIMEOUT)
        set(CASES_TIMEOUT 600)
    endif()
    if(NOT CASES_SHARDS)
        set(CASES_SHARDS 2)
    endif()
    if(KZ_RUNS_NATIVE_32)
        gtest_discover_tests(${target} TEST_PREFIX "${prefix}" DISCOVERY_TIMEOUT 120
            PROPERTIES TIMEOUT ${CASES_TIMEOUT})
        return()
    endif()
    math(EXPR last "${CASES_SHARDS} - 1")
    foreach(shard RANGE ${last})
        set(name ${prefix}shard_${shard}_of_${CASES_SHARDS})
        add_test(NAME ${name} COMMAND ${target})
        set_tests_properties(${name} PROPERTIES TIMEOUT ${CASES_TIMEOUT}
            ENVIRONMENT "GTEST_TOTAL_SHARDS=${CASES_SHARDS};GTEST_SHARD_INDEX=${shard}")
    endforeach()
endfunction()
