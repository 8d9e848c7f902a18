// replaced by the playback widgets
