// replaced by the input widgets and shared dialogs
