#include "app/main_dialog.h"

void ShowMainDialog() {}
