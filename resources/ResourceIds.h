// Identifiers of the stub's own resources: the pictures the wizard shows.
// What makewizard adds to a stub is in resources/PackageFormat.h.
#pragma once

#define IDB_HEADER 101
#define IDB_FINISH_BACKGROUND 102
#define IDB_FINISH_BAND 103
