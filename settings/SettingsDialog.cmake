# The settings dialog (Set_U): a Widgets target over the store and the custom controls. It also
# carries the small helpers that every designed dialog shares (windows/DesignedWindow), so that
# the windows folder can build on it.
add_library(morvex_settings_dialog STATIC
    ${CMAKE_CURRENT_LIST_DIR}/Set_U.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SjisByteValidator.cpp
    ${PROJECT_SOURCE_DIR}/windows/DesignedWindow.cpp)
target_include_directories(morvex_settings_dialog PUBLIC
    ${CMAKE_CURRENT_LIST_DIR} ${PROJECT_SOURCE_DIR}/windows)
target_link_libraries(morvex_settings_dialog PUBLIC
    morvex_config morvex_store morvex_controls morvex_gui_common Qt6::Widgets)
