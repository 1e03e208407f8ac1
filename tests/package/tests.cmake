# Two clean builds of the DLL from copies at different paths are byte-identical, and so are
# the release zips made from them; the packaged DLL stays within 16 KB. It configures and
# builds the Windows half twice, so it gets a generous timeout.
add_test(NAME package.reproducible_dll
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/check_reproducible ${CMAKE_SOURCE_DIR}
        ${KZ_WINDOWS_BINARY_DIR}/qelhost.exe)
set_tests_properties(package.reproducible_dll PROPERTIES TIMEOUT 1200)
