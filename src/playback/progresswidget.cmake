# The watched-percentage row of the library lists.
target_sources(kvo_playback PRIVATE KvoProgressWidget.h KvoProgressWidget.cpp KvoProgressWidget.ui)
