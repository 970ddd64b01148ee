#pragma once

// What the service tests share: the fake server with the default account and a
// client that logs in as it is made, and the message of the HVError a call throws.

#include "fakeserver.h"
#include "hverror.h"

#include <functional>

// The message f throws, or "" when it succeeds.
inline QString errorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const HVError &e) {
        return e.message();
    }
    return QString();
}
