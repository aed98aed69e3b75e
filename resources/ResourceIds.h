// Identifiers of the resources built into the program besides the payload.
#pragma once

#define IDI_PROGRAM 1
#define IDB_HEADER 101
#define IDB_FINISH_BACKGROUND 102
#define IDB_FINISH_BAND 103
#define IDR_AGREEMENT 201

// The stub's marker: an RCDATA resource of this name holding one ASCII line
// that names the stub's format. makewizard builds only from the format it
// was made with; raise the number whenever what the stub expects of the
// builder changes (resource names, identifiers, the section layout).
#define WIZARD_STUB_MARKER_NAME "WIZARD_STUB"
#define WIZARD_STUB_FORMAT 1
#define WIZARD_STUB_MARKER "wizard stub format 1\n"
