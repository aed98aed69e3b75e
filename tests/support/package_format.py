"""What the tests read of resources/PackageFormat.h, the package format's one home."""
import codecs
import os
import re

_HEADER = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))),
                       "resources", "PackageFormat.h")

with open(_HEADER, encoding="utf-8") as _f:
    _TEXT = _f.read()

STUB_FORMAT = int(re.search(r"^#define WIZARD_STUB_FORMAT (\d+)$", _TEXT, re.M).group(1))
# The marker's bytes as the header spells them, its C escapes undone.
STUB_MARKER = codecs.decode(re.search(r'^#define WIZARD_STUB_MARKER "((?:[^"\\]|\\.)*)"$', _TEXT, re.M).group(1),
                            "unicode_escape").encode()
