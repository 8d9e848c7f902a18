# The softwares page: the grid of the user's softwares and its tiles.
target_sources(kvo_catalogue PRIVATE
  KvoListWidget.h KvoListWidget.cpp
  KvoListWidgetItem.h KvoListWidgetItem.cpp
  KvoPageSoftwares.h KvoPageSoftwares.cpp KvoPageSoftwares.ui)
