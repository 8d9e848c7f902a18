# The search page, its rows and the purchase dialog.
target_sources(kvo_catalogue PRIVATE
  KvoSearchPaging.h KvoSearchPaging.cpp
  KvoSearchItem.h KvoSearchItem.cpp KvoSearchItem.ui
  KvoPurchaser.h KvoPurchaser.cpp KvoPurchaser.ui
  KvoPageSearch.h KvoPageSearch.cpp KvoPageSearch.ui)
