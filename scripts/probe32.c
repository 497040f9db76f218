/* Prints one known line when Wine runs a 32-bit Windows program here. */
#include <windows.h>

int main(void) {
  DWORD written = 0;
  static const char line[] = "32-bit Windows code runs\n";
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, sizeof line - 1, &written, NULL);
  return 0;
}
