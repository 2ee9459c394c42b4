#include "ui/Globals.h"

HWND gMainWindow = nullptr;
HINSTANCE gInstance = nullptr;
char gExitDeleteName[260] = "";
