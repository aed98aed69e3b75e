// The program's entry: the application object, its title, the one wizard
// window and the message loop. The exit code is always 0.
#include "toolkit/Application.h"
#include "toolkit/Error.h"
#include "wizard/Tmainform.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
#ifndef WIZARD_WITHOUT_DLL_DEFENCE // defined only for the tests' undefended build
  // Before anything else may load a DLL: never from the program's own
  // folder, which is usually the user's Downloads. Every system DLL but
  // kernel32 and msvcrt is delay-loaded, so none was looked for before this.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
#endif

  toolkit::Application application;
  try {
    application.SetTitle(L"VELNORIX410aPackageE");
    TMainForm mainForm;
    application.Run(mainForm);
  } catch (const toolkit::Error &error) {
    // Before the loop there is no abort filter: every error is shown.
    application.ShowError(error.Message());
  } catch (...) {
    application.HandleException();
  }
  return 0;
}
