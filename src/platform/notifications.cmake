# The desktop-notification bridge (freedesktop notifications over D-Bus).
add_library(kvo_platform_notify INTERFACE)
target_link_libraries(kvo_platform_notify INTERFACE kvo_common_cfg Qt6::Core Qt6::DBus)
