// Every text of the wizard the user can meet, in one table, as an
// installer's language table has them: the window, its pages, its boxes and
// its errors, in the order the user meets them. The platform layer's own
// errors (files, resources, windows) are in its table, win32/Messages.h.
// Names of files, classes and fonts are not here: the user reads none of
// them. UTF-16, so that they read the same whatever the user's code page.
#pragma once

namespace texts {

// On the task bar and on every error box.
inline constexpr wchar_t kProgramTitle[] = L"VELNORIX410aPackageE";
inline constexpr wchar_t kWizardCaption[] = L"ORVEN VELNORIX Serial Emulation Driver Ver.4.10a";

// The header band of each page: a title and the line under it. The finish
// page covers the band.
inline constexpr wchar_t kAgreementTitle[] = L"License Agreement";
inline constexpr wchar_t kAgreementSubtitle[] =
    L"Please read the following license agreement carefully.";
inline constexpr wchar_t kDestinationTitle[] = L"Location to Save Files";
inline constexpr wchar_t kDestinationSubtitle[] = L"Where would you like to save your files?";
inline constexpr wchar_t kProgressTitle[] = L"Extracting Files";
inline constexpr wchar_t kProgressSubtitle[] = L"The contents of this package are being extracted.";
// What joins a title to the line under it when a screen reader reads the two
// as a page comes: the title has no full stop of its own.
inline constexpr wchar_t kHeardAfterTitle[] = L". ";

// The pages. "&" marks the mnemonic of a button.
// The agreement box's name, which only a screen reader reads: the box has
// no visible label (a label ends in a colon, as Windows' guidelines ask).
inline constexpr wchar_t kAgreementBoxName[] = L"License agreement:";
inline constexpr wchar_t kAccept[] = L"I &accept the terms in the license agreement";
inline constexpr wchar_t kDecline[] = L"I &do not accept the terms in the license agreement";
inline constexpr wchar_t kDestinationLine1[] =
    L"Please enter the folder where you want these files saved.  If the folder does not ";
inline constexpr wchar_t kDestinationLine2[] =
    L"exist, it will be created for you.  To continue, click Next.";
inline constexpr wchar_t kSaveInFolder[] = L"Save files in folder:";
inline constexpr wchar_t kChange[] = L"&Change...";
inline constexpr wchar_t kExtracting[] = L"Extracting...";
inline constexpr const wchar_t *kCompletedLines[] = {
    L"The extraction was completed.", L"The Wizard has finished extracting ORVEN VELNORIX",
    L"Serial Emulation Driver Ver.4.10a Installer to your ",
    L"computer.  To exit the wizard, click Finish."};
inline constexpr const wchar_t *kCanceledLines[] = {
    L"The extraction was canceled.", L"The Wizard has canceled extracting ORVEN VELNORIX",
    L"Serial Emulation Driver Ver.4.10a Installer to your ",
    L"computer.  To exit the wizard, click Finish."};

// The buttons under every page.
inline constexpr wchar_t kBack[] = L"< &Back";
inline constexpr wchar_t kNext[] = L"&Next >";
inline constexpr wchar_t kFinish[] = L"&Finish";
inline constexpr wchar_t kCancel[] = L"Cancel";

// The boxes of the destination check. 233: the longest folder into which
// the shell's copy can still deliver the longest file name within its 259
// characters (kMaxDestinationLength), as a check beside the box makes sure.
inline constexpr wchar_t kInformationCaption[] = L"Information";
inline constexpr wchar_t kForbiddenCharacter[] =
    L"A file name cannot contain any of the following characters:\r\n    \\ / : * ? \" < > |";
inline constexpr wchar_t kTooLong[] = L"A folder path cannot be longer than 233 characters.";

// Errors, in the error box, which adds the full stop where one is missing.
// Those ending in ": " are followed by what failed.
inline constexpr wchar_t kDamagedPackage[] =
    L"The package is damaged and cannot be extracted. Download it again.";
inline constexpr wchar_t kTemporaryFolderUnusable[] = L"The temporary folder cannot be used: ";
inline constexpr wchar_t kNoRandomNumbers[] =
    L"The system gave no random numbers for a folder name";
inline constexpr wchar_t kInternalError[] = L"Internal error: ";
inline constexpr wchar_t kEmptyFunctionCalled[] = L"empty function called";

// The system's box before the program ends, when a system DLL is missing
// from System32.
inline constexpr wchar_t kSystemDllMissing[] =
    L"A system DLL could not be loaded from the system folder.";

} // namespace texts
