# The top-list pages (top of the month, favourites, news, promotions) and
# their rows.
target_sources(kvo_catalogue PRIVATE
  KvoPageTops.h KvoPageTops.cpp
  KvoTopItem.h KvoTopItem.cpp
  KvoPageTopMonth.h KvoPageTopMonth.cpp KvoPageTopMonth.ui
  KvoPageNews.h KvoPageNews.cpp
  KvoPageFavoris.h KvoPageFavoris.cpp
  KvoPagePromo.h KvoPagePromo.cpp
  KvoHomeLink.h KvoHomeLink.cpp)
