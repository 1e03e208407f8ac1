# The PE loader: headers, mapping and protection, relocations, imports through a given
# resolver, exports, resources, loading a DLL from its file. Linux only, but for the traps in
# place of the served sites, which qelhost.exe puts into the module LoadLibrary mapped.
set(QEL_HOST_LOADER_SHARED_SOURCES ${CMAKE_CURRENT_LIST_DIR}/site_patching.cpp)
set(QEL_HOST_LOADER_SOURCES ${QEL_HOST_LOADER_SHARED_SOURCES}
    ${CMAKE_CURRENT_LIST_DIR}/pe_headers.cpp
    ${CMAKE_CURRENT_LIST_DIR}/relocations.cpp
    ${CMAKE_CURRENT_LIST_DIR}/imports.cpp
    ${CMAKE_CURRENT_LIST_DIR}/exports.cpp
    ${CMAKE_CURRENT_LIST_DIR}/resources.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mapped_image.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dll_loading.cpp)
