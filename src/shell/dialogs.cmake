# The dialog base, the shared dialog forms, the message box and the tooltip
# bubble. The shared forms' classes (Ui_UIConnection …) are generated from
# the .ui files of this folder.
target_sources(kvo_shell PRIVATE
  KvoDialog.h KvoDialog.cpp KvoDialog.ui
  KvoMessageBox.h KvoMessageBox.cpp
  KvoInfobulle.h KvoInfobulle.cpp
  UIErrorPlayVideoDialog.ui UISessionDialog.ui UIConnection.ui UIDeleteVideoDialog.ui)
