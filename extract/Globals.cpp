#include "Globals.h"

HINSTANCE ModuleInstance = nullptr;
char InstallFolder[256] = "";
unsigned char IsJapanese = 0;
int OsVersion = 0;
int ShortcutChoice = 1;
