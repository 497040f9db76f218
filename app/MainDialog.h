// The main dialog: the install folder, Browse and the desktop-shortcut box.
#pragma once

#include "Platform.h"

// Shows the dialog modally; true when the user started the installation.
bool RunMainDialog();

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Flips the control's WS_DISABLED bit directly and repaints it.
void SetControlEnabled(HWND control, BOOL enable);
