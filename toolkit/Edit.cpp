#include "toolkit/Edit.h"

namespace toolkit {

Edit::Edit(Container &parent, Bounds bounds, const wchar_t *text, const Label &label)
    : Control(parent, {L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP, WS_EX_CLIENTEDGE}, bounds,
              text, Initially::Shown, &label) {
  // No limit of its own: a long path that was cut short would name another folder.
  SendMessageW(Handle(), EM_SETLIMITTEXT, 0, 0);
}

void Edit::Command(WORD code) {
  if (code == EN_CHANGE && OnChange)
    OnChange();
}

Memo::Memo(Container &parent, Bounds bounds, const std::wstring &text, const Label &label)
    : Control(parent,
              {L"EDIT",
               ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP | WS_GROUP,
               WS_EX_CLIENTEDGE},
              bounds, L"", Initially::Shown, &label) {
  SendMessageW(Handle(), EM_SETLIMITTEXT, 0, 0);
  SetText(text);
}

} // namespace toolkit
