// replaced by the dialogs
