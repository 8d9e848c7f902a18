# The notifier and its own notification boxes (sources relative to src/shell).
target_sources(kvo_shell PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/KvoNotifier.h ${CMAKE_CURRENT_LIST_DIR}/KvoNotifier.cpp
  ${CMAKE_CURRENT_LIST_DIR}/KvoNotificationBox.h ${CMAKE_CURRENT_LIST_DIR}/KvoNotificationBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/KvoNotificationBox.ui)
