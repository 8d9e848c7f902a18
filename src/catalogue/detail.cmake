# The page of one software: its list order, its rows and the page itself.
target_sources(kvo_catalogue PRIVATE
  KvoSoftwareDetailOrder.h KvoSoftwareDetailOrder.cpp
  KvoDetailSoftwareItem.h KvoDetailSoftwareItem.cpp
  KvoPageDetailSoftware.h KvoPageDetailSoftware.cpp KvoPageDetailSoftware.ui
  UIErrorParcourirVideoDialog.ui)
