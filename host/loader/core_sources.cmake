# The loader core: PE parsing and mapping, the Win32 emulation, the guard and the protocol.
# One set of sources for both worlds: qelhost and the tests (glibc, the C++ library) and the
# freestanding runner for emulated processors (musl, header-only C++).
set(QEL_LOADER_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/byte_reader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pe_headers.cpp
    ${CMAKE_CURRENT_LIST_DIR}/relocations.cpp
    ${CMAKE_CURRENT_LIST_DIR}/imports.cpp
    ${CMAKE_CURRENT_LIST_DIR}/exports.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mapped_image.cpp
    ${CMAKE_CURRENT_LIST_DIR}/guarded_call.cpp
    ${CMAKE_CURRENT_LIST_DIR}/guard_pages.cpp
    ${CMAKE_CURRENT_LIST_DIR}/module_loader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../protocol/extender_protocol.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../protocol/dll_entry_call.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../win32/emulation.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../win32/text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../win32/string_resources.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../win32/message_box.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../win32/memory_status.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../win32/clocks.cpp)
