# The home page: the only part of the client that needs the web engine.
find_package(Qt6 6.4 REQUIRED COMPONENTS WebEngineWidgets)
add_library(kvo_home STATIC
  KvoHomeWebPage.h KvoHomeWebPage.cpp
  KvoPageHome.h KvoPageHome.cpp KvoPageHome.ui)
target_include_directories(kvo_home PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(kvo_home PUBLIC kvo_catalogue Qt6::WebEngineWidgets)
