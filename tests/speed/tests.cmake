# The speed functions through the real DLL, and the form of their timed code in it.
set(speed_tests_dir ${CMAKE_CURRENT_LIST_DIR})

# The timed loops and the timed stretch, read back from the built DLL.
add_test(NAME speed.timed_loops
    COMMAND ${speed_tests_dir}/check_timed_loops ${MINGW_OBJDUMP} ${KZPROBEX_DLL})
# The check itself refuses the DLL's listing once it is reshaped as an optimiser could.
add_test(NAME speed.timed_loops_refuse_reshaped
    COMMAND ${speed_tests_dir}/check_timed_loops_refusals ${MINGW_OBJDUMP} ${KZPROBEX_DLL})

# One program, run under each processor model and natively; each suite skips on processors
# that do not take its route, and the model's vendor is checked so no suite skips unseen.
# Natively (or under qemu's default model where 32-bit code cannot run natively) it is the one
# test speed_e2e.this_processor.
qel_add_dll_test(NAME speed_e2e
    SOURCES
        ${speed_tests_dir}/processor_model_test.cpp
        ${speed_tests_dir}/measuring_route_test.cpp
        ${speed_tests_dir}/scan_loop_route_test.cpp
        ${speed_tests_dir}/one_second_route_test.cpp
        ${speed_tests_dir}/benchmark_e2e_test.cpp
    NATIVE_RUN_AS_ONE
    TIMEOUT 300)
qel_add_dll_test_runs(NAME speed_e2e CPU pentium3 "pentium3,-tsc" athlon Dhyana TIMEOUT 300)
set_tests_properties("speed_e2e@pentium3" PROPERTIES ENVIRONMENT
    "KZ_EXPECT_VENDOR=GenuineIntel;KZ_EXPECT_TSC=1")
set_tests_properties("speed_e2e@pentium3,-tsc" PROPERTIES ENVIRONMENT
    "KZ_EXPECT_VENDOR=GenuineIntel;KZ_EXPECT_TSC=0")
set_tests_properties("speed_e2e@athlon" PROPERTIES ENVIRONMENT
    "KZ_EXPECT_VENDOR=AuthenticAMD;KZ_EXPECT_TSC=1")
set_tests_properties("speed_e2e@Dhyana" PROPERTIES ENVIRONMENT
    "KZ_EXPECT_VENDOR=HygonGenuine;KZ_EXPECT_TSC=1")
