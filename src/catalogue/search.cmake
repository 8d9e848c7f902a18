# The search page, its rows and the purchase dialog.
target_sources(kvo_catalogue PRIVATE
  KvoSearchPaging.h KvoSearchPaging.cpp
  KvoSearchItem.h KvoSearchItem.cpp KvoSearchItem.ui
  KvoPurchaser.h KvoPurchaser.cpp KvoPurchaser.ui
  KvoPromotionTimer.h KvoPromotionTimer.cpp
  KvoPageSearch.h KvoPageSearch.cpp KvoPageSearch.ui)
