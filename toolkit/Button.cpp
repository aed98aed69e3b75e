#include "toolkit/Button.h"

#include "toolkit/Container.h"

namespace toolkit {

void Button::Click() {
  if (Enabled())
    SendMessageW(GetParent(Handle()), WM_COMMAND, MAKEWPARAM(Id(), BN_CLICKED),
                 reinterpret_cast<LPARAM>(Handle()));
}

void Button::Command(WORD code) {
  if (code == BN_CLICKED && OnClick)
    OnClick();
}

} // namespace toolkit
