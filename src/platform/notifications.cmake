# The desktop-notification bridge (freedesktop notifications over D-Bus).
add_library(kvo_platform_notify STATIC
  ${CMAKE_CURRENT_LIST_DIR}/KvoDesktopNotifier.h ${CMAKE_CURRENT_LIST_DIR}/KvoDesktopNotifier.cpp)
target_include_directories(kvo_platform_notify PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(kvo_platform_notify PUBLIC kvo_common_cfg Qt6::Core Qt6::DBus)
