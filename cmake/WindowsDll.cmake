# KZPROBEX.dll: no C runtime, no libstdc++, no static constructors; its own DllMain is the entry.
enable_language(RC)
set(CMAKE_RC_FLAGS "-O coff -I${CMAKE_SOURCE_DIR}/resources")

add_library(kzprobex SHARED
    ${KZ_LIBRARY_SOURCES}
    ${KZ_PLATFORM_REAL_SOURCES}
    ${CMAKE_SOURCE_DIR}/resources/kzprobex.rc
    ${CMAKE_SOURCE_DIR}/resources/kzprobex.def)
set_target_properties(kzprobex PROPERTIES OUTPUT_NAME KZPROBEX PREFIX "" SUFFIX ".dll")
target_include_directories(kzprobex PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(kzprobex PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:-O2 -ffreestanding -fno-exceptions -fno-rtti -fno-threadsafe-statics
    -fno-asynchronous-unwind-tables -fno-stack-protector -fno-builtin>)
# Only the named Win32 libraries and libgcc (64-bit division) are linked; the .def fixes
# the exported names and ordinals.
set(CMAKE_CXX_STANDARD_LIBRARIES "")
set(CMAKE_C_STANDARD_LIBRARIES "")
target_link_options(kzprobex PRIVATE -nostdlib -static-libgcc -Wl,-e,_DllMain@12
    -Wl,--disable-stdcall-fixup -Wl,--no-insert-timestamp)
target_link_libraries(kzprobex PRIVATE kernel32 user32 winmm gcc)
install(TARGETS kzprobex RUNTIME DESTINATION .)
