// Reading list boxes, combo boxes and tree views.
#include "WinDriver.h"

#include <commctrl.h>

#include "DriverInternal.h"

namespace {

constexpr UINT kSendTimeoutMs = 5000;
constexpr int kMaxItems = 10000;
constexpr int kMaxTreeDepth = 64;
constexpr int kLabelChars = 260;

bool IsCombo(HWND control) {
  wchar_t name[64] = {};
  GetClassNameW(control, name, 64);
  return lstrcmpiW(name, L"ComboBox") == 0;
}

LRESULT Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                      &result);
  return (LRESULT)result;
}

// Memory in the process that owns a window, so that a message whose
// argument points to a structure can be sent to a window of another
// process: Wine and Windows copy only the system's own message arguments.
struct RemoteBuffer {
  HANDLE process = nullptr;
  char* address = nullptr;
  ~RemoteBuffer() {
    if (address) VirtualFreeEx(process, address, 0, MEM_RELEASE);
    if (process) CloseHandle(process);
  }
  bool Open(HWND window, SIZE_T size) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                          processId);
    if (!process) return false;
    address = static_cast<char*>(
        VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    return address != nullptr;
  }
  bool Write(SIZE_T offset, const void* data, SIZE_T size) {
    return WriteProcessMemory(process, address + offset, data, size, nullptr) != FALSE;
  }
  bool Read(SIZE_T offset, void* data, SIZE_T size) {
    return ReadProcessMemory(process, address + offset, data, size, nullptr) != FALSE;
  }
};

bool TreeLabel(HWND tree, HTREEITEM item, RemoteBuffer* remote, std::string* label) {
  TVITEMW query = {};
  query.mask = TVIF_TEXT | TVIF_HANDLE;
  query.hItem = item;
  query.pszText = reinterpret_cast<wchar_t*>(remote->address + sizeof query);
  query.cchTextMax = kLabelChars;
  if (!remote->Write(0, &query, sizeof query)) return false;
  if (!Ask(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote->address))) return false;
  wchar_t text[kLabelChars] = {};
  if (!remote->Read(sizeof query, text, sizeof text)) return false;
  text[kLabelChars - 1] = L'\0';
  *label = WdUtf8(text);
  return true;
}

}  // namespace

// LB_GETTEXT and CB_GETLBTEXT are copied between processes by the system
// for lists that keep their strings, so a local buffer serves.
bool WdItems(HWND dialog, int id, std::vector<std::string>* items) {
  HWND control = WdControl(dialog, id);
  if (!control) return false;
  bool combo = IsCombo(control);
  LRESULT count = Ask(control, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
  if (count < 0 || count > kMaxItems) return Fail("cannot count the items");
  items->clear();
  for (LRESULT i = 0; i < count; ++i) {
    LRESULT length = Ask(control, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, i, 0);
    if (length < 0 || length > 32767) return Fail("cannot read item " + std::to_string(i));
    std::wstring text(length + 1, L'\0');
    Ask(control, combo ? CB_GETLBTEXT : LB_GETTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(lstrlenW(text.c_str()));
    items->push_back(WdUtf8(text));
  }
  return true;
}

bool WdTreeSelection(HWND dialog, std::vector<std::string>* labels) {
  HWND tree = FindDescendant(dialog, WC_TREEVIEWW);
  if (!tree) return Fail("no tree view in the window");
  RemoteBuffer remote;
  if (!remote.Open(tree, sizeof(TVITEMW) + kLabelChars * sizeof(wchar_t))) {
    return Fail("cannot reach the tree view's process");
  }
  labels->clear();
  HTREEITEM item = (HTREEITEM)Ask(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
  for (int depth = 0; item && depth < kMaxTreeDepth; ++depth) {
    std::string label;
    if (!TreeLabel(tree, item, &remote, &label)) return Fail("cannot read a tree item");
    labels->insert(labels->begin(), label);
    item = (HTREEITEM)Ask(tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(item));
  }
  return true;
}
