# The Win32 calls the host provides to a DLL it loads itself. Linux only.
set(QEL_HOST_WIN32_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/emulation.cpp
    ${CMAKE_CURRENT_LIST_DIR}/text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/string_resources.cpp
    ${CMAKE_CURRENT_LIST_DIR}/message_box.cpp
    ${CMAKE_CURRENT_LIST_DIR}/memory_status.cpp
    ${CMAKE_CURRENT_LIST_DIR}/clocks.cpp
    ${CMAKE_CURRENT_LIST_DIR}/virtual_processor.cpp)
