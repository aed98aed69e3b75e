// The program's entry: the application object, its title, the one wizard
// window and the message loop. The exit code is always 0.
#include "app/DllSearch.h"
#include "resources/PackageFormat.h"
#include "resources/Texts.h"
#include "toolkit/Application.h"
#include "win32/Error.h"
#include "wizard/Tmainform.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Before anything else may load a DLL: never from the program's own
  // folder. Every system DLL but kernel32 and msvcrt is delay-loaded, so
  // none was looked for before this. The tests build two variants: one
  // without the defence, and one that takes the path of a Windows 7 without
  // SetDefaultDllDirectories.
#if defined(WIZARD_WITHOUT_DLL_DEFENCE)
#elif defined(WIZARD_AS_IF_WITHOUT_DEFAULT_DLL_DIRECTORIES)
  LockDownDllSearch(nullptr);
#else
  LockDownDllSearch(LookUpSetDefaultDllDirectories());
#endif

  toolkit::Application application;
  try {
    // Titled before its window is made, so that an error in making it
    // still has the title as its caption.
    application.SetTitle(texts::kProgramTitle);
    application.Initialize(MAKEINTRESOURCEW(PACKAGE_ICON_GROUP_ID));
    TMainForm mainForm;
    application.Run(mainForm);
  } catch (const win32::Error &error) {
    // Unlike the event dispatch's, this catch has no abort filter: an error
    // here means there is no wizard to go on with, so even a silent one is
    // shown before the program ends.
    application.ShowError(error.Message());
  } catch (...) {
    application.HandleException();
  }
  return 0;
}
