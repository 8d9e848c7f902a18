// replaced by the sign-in dialog
