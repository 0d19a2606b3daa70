// The root of the framework's classes: a class identity and a virtual destructor.
#pragma once

#include <cstdint>

class __FCBase {
public:
    __FCBase() = default;
    __FCBase(const __FCBase&) = default;
    __FCBase& operator=(const __FCBase&) = default;

    // 0 for every class but the host data record classes.
    virtual int32_t ClassID() const { return 0; }
    // The class's one static name text; compared by address in IsSameClass.
    virtual const char* ClassName() const { return "__FCBase"; }
    virtual ~__FCBase() = default;
    // False without another object; otherwise whether both answer the same name text.
    virtual bool IsSameClass(const __FCBase* other) const;
};
