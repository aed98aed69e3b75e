/* Stands in for the driver's installer in the sample package: it says what
   it is and installs nothing. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  (void)instance;
  (void)previous;
  (void)commandLine;
  (void)show;
  MessageBoxA(NULL, "This is the sample package's stand-in installer. It installs nothing.",
              "ORVEN VELNORIX sample installer", MB_OK | MB_ICONINFORMATION);
  return 0;
}
