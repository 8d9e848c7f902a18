# the notifier and its boxes
