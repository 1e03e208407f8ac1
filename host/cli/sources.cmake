# The program shared by the Linux and the Windows builds of qelhost.
set(QEL_CLI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/options.cpp
    ${CMAKE_CURRENT_LIST_DIR}/script.cpp
    ${CMAKE_CURRENT_LIST_DIR}/decode.cpp
    ${CMAKE_CURRENT_LIST_DIR}/process_cpuid.cpp
    ${CMAKE_CURRENT_LIST_DIR}/json.cpp
    ${CMAKE_CURRENT_LIST_DIR}/session.cpp
    ${CMAKE_CURRENT_LIST_DIR}/report.cpp
    ${CMAKE_CURRENT_LIST_DIR}/processor_catalogue.cpp
    ${CMAKE_CURRENT_LIST_DIR}/host_main.cpp)
