# The set-up's decisions, over a stub apt-get that plays a whole or a broken package mirror.
add_test(NAME bootstrap.decisions
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/check_bootstrap ${CMAKE_SOURCE_DIR}/scripts/bootstrap)
