# The crossing into DLL code. The Windows build of qelhost shares the calls into the DLL
# and the thunks back; guard pages and guarded calls are Linux only.
set(QEL_HOST_CROSSING_SHARED_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/dll_entry_call.cpp
    ${CMAKE_CURRENT_LIST_DIR}/entered_export.cpp)
set(QEL_HOST_CROSSING_SOURCES ${QEL_HOST_CROSSING_SHARED_SOURCES}
    ${CMAKE_CURRENT_LIST_DIR}/guard_pages.cpp
    ${CMAKE_CURRENT_LIST_DIR}/guarded_call.cpp
    ${CMAKE_CURRENT_LIST_DIR}/served_sites.cpp
    ${CMAKE_CURRENT_LIST_DIR}/system_call_names.cpp)
