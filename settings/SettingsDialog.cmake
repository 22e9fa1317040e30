# The settings dialog (Set_U): a Widgets target over the store and the custom controls.
add_library(morvex_settings_dialog STATIC
    ${CMAKE_CURRENT_LIST_DIR}/Set_U.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SjisByteValidator.cpp)
target_include_directories(morvex_settings_dialog PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(morvex_settings_dialog PUBLIC
    morvex_config morvex_engine morvex_store morvex_controls morvex_gui_common Qt6::Widgets)
