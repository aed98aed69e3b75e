// Records message boxes instead of showing them, for as long as it lives.
#pragma once

#include "toolkit/MessageBox.h"

#include <string>
#include <vector>

// Records message boxes instead of showing them.
struct RecordedBox {
  HWND owner;
  std::wstring text;
  std::wstring caption;
  toolkit::MessageIcon icon;
};
class MessageBoxRecorder {
public:
  MessageBoxRecorder();
  ~MessageBoxRecorder();
  std::vector<RecordedBox> boxes;
};
