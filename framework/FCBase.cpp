#include "framework/FCBase.h"

bool __FCBase::IsSameClass(const __FCBase* other) const {
    return other != nullptr && other->ClassName() == ClassName();
}
