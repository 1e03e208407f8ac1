# The virtual processor's parts: the decoder over hand-written code and over the built DLL
# (against objdump's listing of it), the dump formats, the CPUID and time-stamp models.
set(virtual_cpu_tests_dir ${CMAKE_CURRENT_LIST_DIR})
add_executable(virtual_cpu_tests
    ${virtual_cpu_tests_dir}/i386_decoder_test.cpp
    ${virtual_cpu_tests_dir}/dll_sites_test.cpp
    ${virtual_cpu_tests_dir}/cpuid_dump_test.cpp
    ${virtual_cpu_tests_dir}/cpuid_model_test.cpp
    ${virtual_cpu_tests_dir}/leaf_survey_test.cpp
    ${virtual_cpu_tests_dir}/time_stamp_model_test.cpp)
# The DLL harness brings the built DLL's bytes and section table.
target_link_libraries(virtual_cpu_tests PRIVATE qel_virtual_cpu qel_dll_harness GTest::gtest_main)
target_compile_definitions(virtual_cpu_tests PRIVATE MINGW_OBJDUMP="${MINGW_OBJDUMP}")
# The DLL built for the P6, where this build makes one (not in the sanitizer build).
if(KZPROBEX_I686_DLL)
    target_compile_definitions(virtual_cpu_tests PRIVATE
        KZPROBEX_I686_DLL_PATH="${KZPROBEX_I686_DLL}")
endif()
add_dependencies(virtual_cpu_tests windows_half)
kz_sanitize(virtual_cpu_tests)
kz_discover_sanitized_tests(virtual_cpu_tests virtual_cpu.)
