# The built DLL read back with objdump.
set(build_tests_dir ${CMAKE_CURRENT_LIST_DIR})

# Its exports, ordinals, module name and imports.
add_test(NAME build.dll_interface
    COMMAND ${build_tests_dir}/check_dll_interface ${MINGW_OBJDUMP} ${KZPROBEX_DLL})
# Nothing but 80386 integer instructions, CPUID and RDTSC only where they are guarded.
add_test(NAME build.instruction_set
    COMMAND ${build_tests_dir}/check_instruction_set ${MINGW_OBJDUMP} ${KZPROBEX_DLL})
# The check itself refuses the DLL built for the P6, and single newer instructions placed in
# the DLL's own listing.
add_test(NAME build.instruction_set_refuses_newer
    COMMAND ${build_tests_dir}/check_instruction_set_refusals ${MINGW_OBJDUMP} ${KZPROBEX_DLL}
        ${KZPROBEX_I686_DLL})
