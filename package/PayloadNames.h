// The package's three files in payload order, under the names they are
// delivered with; the i-th is stored as the raw data resource FILE<i>. The
// one list the wizard, makewizard and the scripts read (plain macros, so
// that narrow and wide strings can be made of them).
#pragma once

#define PAYLOAD_FILE1_NAME "VELNORIX410aE.exe"
#define PAYLOAD_FILE2_NAME "VELNORIX_User'sManual.pdf"
#define PAYLOAD_FILE3_NAME "ReadMe_E.txt"
