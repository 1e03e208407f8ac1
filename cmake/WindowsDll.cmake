# KZPROBEX.dll: no C runtime, no libstdc++, no static constructors; its own DllMain is the entry.
enable_language(RC)
set(CMAKE_RC_FLAGS "-O coff -I${CMAKE_SOURCE_DIR}/resources")

# The DLL from the library's objects compiled with the given processor options.
function(kz_add_probex_dll target output_name)
    kz_add_library_objects(${target} SUBSYSTEMS ${KZ_LIBRARY_SUBSYSTEMS} platform_real
        OPTIONS $<$<COMPILE_LANGUAGE:CXX>:-O2 -ffreestanding -fno-exceptions -fno-rtti
        -fno-threadsafe-statics -fno-asynchronous-unwind-tables -fno-stack-protector -fno-builtin
        ${ARGN}>)
    add_library(${target} SHARED ${${target}_OBJECTS}
        ${CMAKE_SOURCE_DIR}/resources/kzprobex.rc
        ${CMAKE_SOURCE_DIR}/resources/kzprobex.def)
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${output_name} PREFIX "" SUFFIX ".dll")
    # Only the named Win32 libraries and libgcc (64-bit division) are linked: -nostdlib keeps
    # out the C runtime and the start files, and the libraries named here come before the
    # toolchain's default ones, so those resolve nothing. The .def fixes the exported names
    # and ordinals.
    target_link_options(${target} PRIVATE -nostdlib -static-libgcc -Wl,-e,_DllMain@12
        -Wl,--disable-stdcall-fixup -Wl,--no-insert-timestamp)
    target_link_libraries(${target} PRIVATE kernel32 user32 winmm gcc)
endfunction()

# The DLL must run on every processor from the 80386 on, so the compiler uses only 80386
# instructions (mingw's default, the i686, would add CMOV), and the assembler admits only
# those too: it refuses anything newer and pads alignment gaps with forms the 80386 executes
# instead of the P6's multi-byte NOP. CPUID and RDTSC are enabled in the two inline
# assembly blocks that hold them (platform/real/processor.cpp). Tuning never adds
# instructions; generic tuning keeps the alignment and scheduling the DLL has always had,
# suited to the current processors most hosts run on.
kz_add_probex_dll(kzprobex KZPROBEX -march=i386 -mtune=generic -Wa,-march=i386)
install(TARGETS kzprobex RUNTIME DESTINATION .)

# The same sources compiled for the P6, as mingw does by default, and assembled with padding
# for a current processor (multi-byte NOP): never shipped; the instruction-set check must
# refuse it (tests/build).
kz_add_probex_dll(kzprobex_i686 KZPROBEX-i686 -march=i686 -mtune=generic -Wa,-mtune=core2)
