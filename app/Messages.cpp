#include "Messages.h"

#include "Globals.h"
#include "resource.h"

namespace {

constexpr int kCaptionCapacity = 64;
constexpr int kFirstResult = 1;
constexpr int kInternalError = 9;

}  // namespace

int LoadLocalizedString(int id, char* buffer, int capacity)
{
    if (!IsJapanese) {
        int count = LoadStringA(ModuleInstance, id | 1, buffer, capacity);
        if (count != 0)
            return count;
    }
    return LoadStringA(ModuleInstance, id, buffer, capacity);
}

int ShowMessage(const char* text)
{
    char caption[kCaptionCapacity];
    LoadLocalizedString(IDS_CAUTION, caption, kCaptionCapacity);
    MessageBoxA(nullptr, text, caption, MB_OK | MB_ICONINFORMATION);
    return -1;
}

int ShowResultMessage(int code)
{
    // Codes without a message of their own (0 is a blank, 10 and up have no
    // entry) would show an empty box; they can only be an internal fault.
    if (code < kFirstResult || code > kInternalError)
        code = kInternalError;
    char text[kMessageCapacity];
    LoadLocalizedString(IDS_RESULT_BASE + 2 * code, text, kMessageCapacity);
    return ShowMessage(text);
}
