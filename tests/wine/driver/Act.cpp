// Acting on controls as a person would: click, type, choose, press a key.
#include "WinDriver.h"

#include "DriverInternal.h"

namespace {

constexpr UINT kSendTimeoutMs = 5000;

struct KeyName {
  const char* name;
  UINT key;
};

constexpr KeyName kKeys[] = {
    {"enter", VK_RETURN}, {"esc", VK_ESCAPE}, {"tab", VK_TAB},   {"space", VK_SPACE},
    {"up", VK_UP},        {"down", VK_DOWN},  {"left", VK_LEFT}, {"right", VK_RIGHT},
};

// A person can only use what is shown and enabled.
HWND UsableControl(HWND dialog, int id) {
  HWND control = WdControl(dialog, id);
  if (!control) return nullptr;
  if (!IsWindowVisible(control)) {
    Fail("control " + std::to_string(id) + " is hidden");
    return nullptr;
  }
  if (!IsWindowEnabled(control)) {
    Fail("control " + std::to_string(id) + " is disabled");
    return nullptr;
  }
  return control;
}

HWND FocusOf(HWND dialog) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
  if (GetGUIThreadInfo(thread, &info) && info.hwndFocus &&
      (info.hwndFocus == dialog || IsChild(dialog, info.hwndFocus))) {
    return info.hwndFocus;
  }
  return dialog;
}

bool IsComboBox(HWND control) {
  wchar_t name[64] = {};
  GetClassNameW(control, name, 64);
  return lstrcmpiW(name, L"ComboBox") == 0;
}

}  // namespace

bool WdClick(HWND dialog, int id) {
  HWND button = UsableControl(dialog, id);
  if (!button) return false;
  if (!PostMessageW(button, BM_CLICK, 0, 0)) return Fail("cannot post the click");
  return true;
}

bool WdSetText(HWND dialog, int id, const std::string& utf8) {
  HWND control = UsableControl(dialog, id);
  if (!control) return false;
  std::wstring text = WdWide(utf8);
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                           SMTO_ABORTIFHUNG, kSendTimeoutMs, &result) || !result) {
    return Fail("the control refused the text");
  }
  // An edit box tells its dialog about a change; typing would have done so.
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, EN_CHANGE), reinterpret_cast<LPARAM>(control));
  return true;
}

bool WdSelectItem(HWND dialog, int id, const std::string& utf8, bool doubleClick) {
  HWND control = UsableControl(dialog, id);
  if (!control) return false;
  std::vector<std::string> items;
  if (!WdItems(dialog, id, &items)) return false;
  int index = -1;
  for (size_t i = 0; i < items.size() && index < 0; ++i) {
    if (items[i] == utf8) index = (int)i;
  }
  if (index < 0) {
    std::string present;
    for (const std::string& item : items) present += " \"" + item + "\"";
    return Fail("no item \"" + utf8 + "\" in control " + std::to_string(id) + "; items:" + present);
  }
  bool combo = IsComboBox(control);
  DWORD_PTR result = 0;
  SendMessageTimeoutW(control, combo ? CB_SETCURSEL : LB_SETCURSEL, index, 0, SMTO_ABORTIFHUNG,
                      kSendTimeoutMs, &result);
  LPARAM from = reinterpret_cast<LPARAM>(control);
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, combo ? CBN_SELCHANGE : LBN_SELCHANGE), from);
  if (doubleClick && !combo) PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, LBN_DBLCLK), from);
  return true;
}

bool WdKey(HWND dialog, const std::string& keyName, int id) {
  UINT key = 0;
  for (const KeyName& entry : kKeys) {
    if (keyName == entry.name) key = entry.key;
  }
  if (!key) return Fail("unknown key \"" + keyName + "\"");
  HWND target = id ? UsableControl(dialog, id) : FocusOf(dialog);
  if (!target) return false;
  LPARAM scan = (LPARAM)MapVirtualKeyW(key, MAPVK_VK_TO_VSC) << 16;
  // The dialog's own message loop turns Enter and Esc into its default
  // button and Cancel, exactly as for a key pressed on the keyboard.
  if (!PostMessageW(target, WM_KEYDOWN, key, scan | 1)) return Fail("cannot post the key");
  PostMessageW(target, WM_KEYUP, key, scan | 1 | 0xC0000000);
  return true;
}

bool WdClose(HWND window) {
  if (!PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0)) return Fail("cannot post the close");
  return true;
}
