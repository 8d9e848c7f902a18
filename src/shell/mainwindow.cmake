# The main window of a session (sources relative to src/shell).
target_sources(kvo_shell PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/IKvoPage.h ${CMAKE_CURRENT_LIST_DIR}/IKvoPlayerPage.h
  ${CMAKE_CURRENT_LIST_DIR}/KvoPageRegistry.h ${CMAKE_CURRENT_LIST_DIR}/KvoPageRegistry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/KvoPageRequest.h
  ${CMAKE_CURRENT_LIST_DIR}/KvoNavigationHistory.h ${CMAKE_CURRENT_LIST_DIR}/KvoNavigationHistory.cpp
  ${CMAKE_CURRENT_LIST_DIR}/KvoBreadcrumb.h ${CMAKE_CURRENT_LIST_DIR}/KvoBreadcrumb.cpp
  ${CMAKE_CURRENT_LIST_DIR}/KvoVornLink.h ${CMAKE_CURRENT_LIST_DIR}/KvoVornLink.cpp
  ${CMAKE_CURRENT_LIST_DIR}/KvoMenuFitter.h ${CMAKE_CURRENT_LIST_DIR}/KvoMenuFitter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/KvoMainWindow.h ${CMAKE_CURRENT_LIST_DIR}/KvoMainWindow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/KvoMainWindow.ui)
