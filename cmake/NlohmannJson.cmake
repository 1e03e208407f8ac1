# nlohmann/json (Debian's nlohmann-json3-dev, header-only), which qelhost writes its JSON with.
# The mingw build looks for it outside its own root and must see nothing else of
# /usr/include (glibc's headers), so both builds include it from a folder holding only it.
find_path(NLOHMANN_JSON_ROOT nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH)
if(NOT NLOHMANN_JSON_ROOT)
    message(FATAL_ERROR "nlohmann/json.hpp not found: scripts/bootstrap installs nlohmann-json3-dev")
endif()
set(nlohmann_json_tree ${CMAKE_BINARY_DIR}/nlohmann_json)
file(MAKE_DIRECTORY ${nlohmann_json_tree})
file(CREATE_LINK ${NLOHMANN_JSON_ROOT}/nlohmann ${nlohmann_json_tree}/nlohmann SYMBOLIC)
add_library(nlohmann_json_headers INTERFACE)
target_include_directories(nlohmann_json_headers SYSTEM INTERFACE ${nlohmann_json_tree})
