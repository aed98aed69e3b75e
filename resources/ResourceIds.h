// Identifiers of the resources built into the program besides the payload.
#pragma once

#define IDI_PROGRAM 1
#define IDB_HEADER 101
#define IDB_FINISH_BACKGROUND 102
#define IDB_FINISH_BAND 103
#define IDR_AGREEMENT 201
