# End-to-end tests of qelhost and its loader through the real KZPROBEX.dll.
qel_add_dll_test(NAME host_dll_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/protocol_test.cpp)
