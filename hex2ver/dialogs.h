// The dialog mode's ways of asking and telling the operator: the open-file dialog and the message box. Each
// platform implements them in a file of its own.
#pragma once

#include <string>

// Lets the operator pick the HEX file in the system's open-file dialog. False when the operator cancels or the
// dialog fails.
bool PickHexFile(std::string* path);

// Shows a message in a box captioned "Ошибка!" and returns once the operator has dismissed it.
void ShowMessageBox(const std::string& text);
