#include "wintest/MessageBoxRecorder.h"

#include "simhost/SimHost.h"

namespace wintest {

int32_t RecordMessageBox(void* owner, const char16_t* text, const char16_t* caption, uint32_t style) {
    return simhost::Host::Instance().MessageBox(owner, text, caption, style);
}

} // namespace wintest
