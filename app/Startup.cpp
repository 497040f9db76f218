// The installer's process start-up, in place of a C runtime's: the program
// reads no command line and needs no runtime initialisation, so the entry
// point hands WinMain the module instance and leaves with its result.
#include "Platform.h"

#include <new>

// Windows 95 and NT 3.51 may enter with a stack aligned to four bytes only.
extern "C" __attribute__((force_align_arg_pointer)) void ZoravuviStart()
{
    char noCommandLine[] = "";
    ExitProcess(static_cast<UINT>(WinMain(GetModuleHandleA(nullptr), nullptr, noCommandLine, SW_SHOWDEFAULT)));
}

// The engine's classes take their memory from GlobalAlloc themselves; the
// tag that selects their non-throwing operator new is all it needs here.
const std::nothrow_t std::nothrow{};
