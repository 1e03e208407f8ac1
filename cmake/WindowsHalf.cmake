# The Windows half (the DLL and the Windows host) is a nested build with the mingw toolchain.
find_program(MINGW_OBJDUMP i686-w64-mingw32-objdump REQUIRED)
if(KZ_PREBUILT_DLL)
    set(KZPROBEX_DLL ${KZ_PREBUILT_DLL})
    add_custom_target(windows_half)
    add_custom_target(windows_dll)
    return()
endif()
include(ExternalProject)
set(KZ_WINDOWS_BINARY_DIR ${CMAKE_BINARY_DIR}/windows)
set(KZPROBEX_DLL ${KZ_WINDOWS_BINARY_DIR}/KZPROBEX.dll)
# The same DLL built for the P6, only for the instruction-set check to refuse.
set(KZPROBEX_I686_DLL ${KZ_WINDOWS_BINARY_DIR}/KZPROBEX-i686.dll)
ExternalProject_Add(windows_half
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${KZ_WINDOWS_BINARY_DIR}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-i686.cmake
               -DCMAKE_BUILD_TYPE=Release
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    STEP_TARGETS configure
    BUILD_BYPRODUCTS ${KZPROBEX_DLL} ${KZPROBEX_I686_DLL})
# Only the DLL, for the report: the Windows host and the i686 DLL are for the tests and the
# package. Never built together with windows_half (both build in the same tree).
add_custom_target(windows_dll
    COMMAND ${CMAKE_COMMAND} --build ${KZ_WINDOWS_BINARY_DIR} --target kzprobex
    COMMENT "Building KZPROBEX.dll")
add_dependencies(windows_dll windows_half-configure)
