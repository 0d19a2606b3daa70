#include "plugin/FCUI.h"

#include "framework/FCString.h"
#include "host/Platform.h"

namespace {
constexpr uint32_t kIconError = 0x00000010u; // MB_ICONERROR
}

const char* FCUI::ClassName() const { return "FCUI"; }

void FCUI::AlertError(const char* message, const char* caption) const {
    FCString text;
    text.SetCString(message != nullptr ? message : "");
    FCString title;
    title.SetCString(caption != nullptr && caption[0] != 0 ? caption : "Error");
    platform::ShowMessageBox(ownerWindow_, text.GetBuffer(), title.GetBuffer(), kIconError);
}
