# The QEL records and calls (every build of the host), and loading an extender with the
# host's own loader (Linux only).
set(QEL_HOST_PROTOCOL_SHARED_SOURCES ${CMAKE_CURRENT_LIST_DIR}/extender_protocol.cpp)
set(QEL_HOST_PROTOCOL_SOURCES ${QEL_HOST_PROTOCOL_SHARED_SOURCES}
    ${CMAKE_CURRENT_LIST_DIR}/extender_module.cpp)
