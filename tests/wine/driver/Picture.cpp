// Screen captures, and reading a message box including which icon it shows.
#include "WinDriver.h"

#include <cstdio>

#include "DriverInternal.h"

namespace {

constexpr int kIconTries = 40;
constexpr int kIconRetryMs = 50;
// Share of pixels that must agree for an icon to count as recognised; a
// little room for a focus rectangle or a partly painted edge.
constexpr double kIconAgreement = 0.95;

struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<DWORD> data;  // top-down, 0x00RRGGBB
};

bool ReadDc(HDC source, int x, int y, int width, int height, Pixels* out) {
  HDC memory = CreateCompatibleDC(source);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = bitmap != nullptr;
  if (ok) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    ok = BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY) != FALSE;
    GdiFlush();
    out->width = width;
    out->height = height;
    const DWORD* first = static_cast<const DWORD*>(bits);
    out->data.assign(first, first + (size_t)width * height);
    SelectObject(memory, old);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  return ok;
}

bool GrabScreen(const RECT& area, Pixels* out) {
  int width = area.right - area.left;
  int height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return Fail("the window has no area");
  HDC screen = GetDC(nullptr);
  bool ok = ReadDc(screen, area.left, area.top, width, height, out);
  ReleaseDC(nullptr, screen);
  return ok || Fail("cannot read the screen");
}

bool WriteBmp(const Pixels& pixels, const std::string& path) {
  int stride = (pixels.width * 3 + 3) & ~3;
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER header = {};
  header.biSize = sizeof header;
  header.biWidth = pixels.width;
  header.biHeight = pixels.height;  // bottom-up, the usual BMP order
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biSizeImage = (DWORD)stride * pixels.height;
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + header.biSizeImage;
  std::vector<unsigned char> rows(header.biSizeImage, 0);
  for (int y = 0; y < pixels.height; ++y) {
    unsigned char* row = &rows[(size_t)(pixels.height - 1 - y) * stride];
    for (int x = 0; x < pixels.width; ++x) {
      DWORD colour = pixels.data[(size_t)y * pixels.width + x];
      row[x * 3] = colour & 0xFF;
      row[x * 3 + 1] = (colour >> 8) & 0xFF;
      row[x * 3 + 2] = (colour >> 16) & 0xFF;
    }
  }
  FILE* out = _wfopen(WdWide(path).c_str(), L"wb");
  if (!out) return Fail("cannot create " + path);
  bool ok = fwrite(&file, sizeof file, 1, out) == 1 && fwrite(&header, sizeof header, 1, out) == 1 &&
            fwrite(rows.data(), 1, rows.size(), out) == rows.size();
  return (fclose(out) == 0 && ok) || Fail("cannot write " + path);
}

struct StandardIcon {
  const char* name;
  LPCWSTR resource;
};

const StandardIcon kIcons[] = {
    {"information", IDI_ASTERISK},
    {"warning", IDI_EXCLAMATION},
    {"error", IDI_HAND},
    {"question", IDI_QUESTION},
};

// Draws the icon on the background that the control shows at its corner
// (the standard icons leave their corners transparent) and compares.
double Agreement(const Pixels& shown, HICON icon) {
  Pixels drawn;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, shown.width, shown.height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  DWORD corner = shown.data[0];
  HBRUSH brush = CreateSolidBrush(RGB((corner >> 16) & 0xFF, (corner >> 8) & 0xFF, corner & 0xFF));
  RECT all = {0, 0, shown.width, shown.height};
  FillRect(memory, &all, brush);
  DeleteObject(brush);
  DrawIconEx(memory, 0, 0, icon, shown.width, shown.height, 0, nullptr, DI_NORMAL);
  bool ok = ReadDc(memory, 0, 0, shown.width, shown.height, &drawn);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (!ok || drawn.data.size() != shown.data.size()) return 0;
  size_t same = 0;
  for (size_t i = 0; i < shown.data.size(); ++i) same += drawn.data[i] == shown.data[i];
  return (double)same / (double)shown.data.size();
}

std::string RecogniseIcon(HWND control) {
  DWORD processId = 0;
  GetWindowThreadProcessId(control, &processId);
  if (processId == GetCurrentProcessId()) {
    // Same process: the shared system icons have one handle each.
    HICON shown = (HICON)SendMessageW(control, STM_GETICON, 0, 0);
    for (const StandardIcon& candidate : kIcons) {
      if (shown && shown == LoadIconW(nullptr, candidate.resource)) return candidate.name;
    }
  }
  RECT area;
  GetWindowRect(control, &area);
  // Another process: compare what is on the screen, once it is painted.
  for (int attempt = 0; attempt < kIconTries; ++attempt) {
    Pixels shown;
    if (GrabScreen(area, &shown)) {
      for (const StandardIcon& candidate : kIcons) {
        if (Agreement(shown, LoadIconW(nullptr, candidate.resource)) >= kIconAgreement) {
          return candidate.name;
        }
      }
    }
    Sleep(kIconRetryMs);
  }
  return "unknown";
}

}  // namespace

bool WdCapture(HWND window, const std::string& bmpPath) {
  RECT area;
  if (window) {
    if (!GetWindowRect(window, &area)) return Fail("no such window");
  } else {
    area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  Pixels pixels;
  return GrabScreen(area, &pixels) && WriteBmp(pixels, bmpPath);
}

bool WdMessageBox(HWND box, MessageBoxInfo* info) {
  if (!IsWindow(box)) return Fail("no such window");
  *info = MessageBoxInfo();
  info->caption = WdText(box);
  info->icon = "none";
  for (const ControlInfo& control : WdControls(box)) {
    if (!control.visible) continue;
    if (lstrcmpiW(WdWide(control.className).c_str(), L"Static") == 0) {
      if ((control.style & SS_TYPEMASK) == SS_ICON) {
        info->iconControlId = control.id;
        info->iconStyle = control.style;
        info->icon = RecogniseIcon(control.window);
      } else if (!control.text.empty()) {
        info->text += control.text;
      }
    } else if (lstrcmpiW(WdWide(control.className).c_str(), L"Button") == 0) {
      info->buttons.push_back(control.text);
    }
  }
  return true;
}
