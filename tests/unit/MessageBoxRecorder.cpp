#include "MessageBoxRecorder.h"

MessageBoxRecorder::MessageBoxRecorder() {
  toolkit::SetMessageBoxHook([this](HWND owner, const std::wstring &text,
                                    const std::wstring &caption, toolkit::MessageIcon icon) {
    boxes.push_back({owner, text, caption, icon});
  });
}

MessageBoxRecorder::~MessageBoxRecorder() { toolkit::SetMessageBoxHook(nullptr); }
