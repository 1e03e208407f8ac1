# The crossing into DLL code. Every Windows program of the project shares the calls into the
# DLL and the thunks back; qelhost.exe also the table of served sites; guard pages, guarded
# calls and the served sites' trap handling are Linux only.
set(QEL_HOST_CROSSING_SHARED_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/dll_entry_call.cpp
    ${CMAKE_CURRENT_LIST_DIR}/entered_export.cpp)
set(QEL_HOST_CROSSING_SITES_SOURCES ${CMAKE_CURRENT_LIST_DIR}/served_sites.cpp)
set(QEL_HOST_CROSSING_SOURCES ${QEL_HOST_CROSSING_SHARED_SOURCES}
    ${QEL_HOST_CROSSING_SITES_SOURCES}
    ${CMAKE_CURRENT_LIST_DIR}/guard_pages.cpp
    ${CMAKE_CURRENT_LIST_DIR}/guarded_call.cpp
    ${CMAKE_CURRENT_LIST_DIR}/site_traps.cpp
    ${CMAKE_CURRENT_LIST_DIR}/system_call_names.cpp)
