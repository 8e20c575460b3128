# The bare Qt program that bench/desktop.sh measures the desktop program against.
if(TARGET palaverly_desktop)
    add_executable(desktop_floor ${CMAKE_CURRENT_LIST_DIR}/desktop_floor.cpp)
    target_link_libraries(desktop_floor PRIVATE Qt6::Widgets Qt6::DBus)
    palaverly_target_defaults(desktop_floor)
endif()
