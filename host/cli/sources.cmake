# The program shared by the Linux and the Windows builds of qelhost.
set(QEL_HOST_CLI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/options.cpp
    ${CMAKE_CURRENT_LIST_DIR}/script.cpp
    ${CMAKE_CURRENT_LIST_DIR}/decode.cpp
    ${CMAKE_CURRENT_LIST_DIR}/function_traits.cpp
    ${CMAKE_CURRENT_LIST_DIR}/session.cpp
    ${CMAKE_CURRENT_LIST_DIR}/report.cpp
    ${CMAKE_CURRENT_LIST_DIR}/host_main.cpp
    # Everything qelhost writes, as text, JSON or on the terminal.
    ${CMAKE_CURRENT_LIST_DIR}/output/format.cpp
    ${CMAKE_CURRENT_LIST_DIR}/output/calls.cpp
    ${CMAKE_CURRENT_LIST_DIR}/output/report_output.cpp
    ${CMAKE_CURRENT_LIST_DIR}/output/zoo_output.cpp
    ${CMAKE_CURRENT_LIST_DIR}/output/terminal.cpp)
