#include "Globals.h"

HINSTANCE ModuleInstance = nullptr;
char InstallFolder[kFolderCapacity] = "";
unsigned char IsJapanese = 0;
int OsVersion = 0;
int ShortcutChoice = kShortcutWanted;
