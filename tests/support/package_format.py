"""What the tests, the sample's maker, CMake and the benchmark's scripts read of
resources/PackageFormat.h, the package format's one home: its one reader outside C++.

    python3 package_format.py payload-names   # the delivered files' names, one a line
"""
import codecs
import os
import re
import sys

_HEADER = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))),
                       "resources", "PackageFormat.h")

with open(_HEADER, encoding="utf-8") as _f:
    _TEXT = _f.read()

STUB_FORMAT = int(re.search(r"^#define WIZARD_STUB_FORMAT (\d+)$", _TEXT, re.M).group(1))
# The marker's bytes as the header spells them, its C escapes undone.
STUB_MARKER = codecs.decode(re.search(r'^#define WIZARD_STUB_MARKER "((?:[^"\\]|\\.)*)"$', _TEXT, re.M).group(1),
                            "unicode_escape").encode()
# The delivered files' names, in payload order.
PAYLOAD_NAMES = tuple(re.findall(r'PACKAGE_ITEM\("[^"]*", "([^"]*)"\)', _TEXT))
if not PAYLOAD_NAMES:
    raise SystemExit(f"{_HEADER}: no PACKAGE_ITEM in PACKAGE_PAYLOAD")

if __name__ == "__main__":
    if sys.argv[1:] != ["payload-names"]:
        raise SystemExit(__doc__)
    print("\n".join(PAYLOAD_NAMES))
