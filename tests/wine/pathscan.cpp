// pathscan cut|trim PATH: prints what the folder chooser's scan makes of
// PATH, for answers that no dialog under Wine gives (such as "C:a").
#include "FolderChooser.h"

int main(int argc, char** argv)
{
    if (argc != 3)
        return 64;
    char path[256];
    lstrcpynA(path, argv[2], sizeof path);
    if (lstrcmpA(argv[1], "cut") == 0)
        CutAfterLastSeparator(path);
    else
        TrimFinalBackslash(path);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), path, lstrlenA(path), &written, nullptr);
    return 0;
}
