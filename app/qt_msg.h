#pragma once
// The desktop's MsgSx handler: an application-modal QMessageBox on the GUI thread.

#include <string>

class QMessageBox;

// Installs the handler (boxes are shown again). Called from another thread, the box is shown on the GUI thread
// while the caller waits for the answer. Once SetMessageBoxesClosed(true) has been
// called (the main window is gone), every call answers the first button at once.
void InstallQtMsgHandler();
void SetMessageBoxesClosed(bool closed);

// Builds the box MsgSx shows (not executed): title, plain text, buttons, icon and
// default button from the flags. The caller owns it.
QMessageBox* BuildMessageBox(const std::string& text, const std::string& caption, int flags);
// The Windows button id of a standard button of the box.
int MessageBoxAnswer(int standard_button);
