// The marker a stub carries and every wizard built from it keeps: an RCDATA
// resource whose one line names the stub's format (resources/PackageFormat.h).
#pragma once

class ResourceTree;

struct StubMarker {
  enum class State { Absent, Known, Unreadable } state;
  // The number the marker names (Known only).
  unsigned long format = 0;
};

StubMarker ReadStubMarker(const ResourceTree &tree);
