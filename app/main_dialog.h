#pragma once

// Runs the program's modal dialog until the user closes it.
void ShowMainDialog();
