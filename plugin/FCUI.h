// The module's user interface: error boxes owned by the host's window.
#pragma once

#include "framework/FCBase.h"

class FCUI : public __FCBase {
public:
    explicit FCUI(void* ownerWindow) : ownerWindow_(ownerWindow) {}

    const char* ClassName() const override;

    // A modal error box with `message`; a null or empty caption shows "Error".
    void AlertError(const char* message, const char* caption) const;

private:
    void* ownerWindow_;
};
