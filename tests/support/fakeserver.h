#pragma once

#include "fakehv.h"
#include "linkserverthread.h"

#include <atomic>
#include <functional>
#include <memory>

// A link server on its own thread with a recording fake behind every login:
// the server thread makes one FakeHV per login; the test reads the latest one.
struct FakeServer
{
    std::atomic<FakeHV *> fake{nullptr};
    std::function<void(FakeHV &)> setUp; // runs on each new fake
    LinkServerThread thread{[this] {
        return std::make_unique<LinkServer>([this] {
            auto f = std::make_unique<FakeHV>();
            if (setUp)
                setUp(*f);
            fake = f.get();
            return std::unique_ptr<HVPowerSupply>(std::move(f));
        });
    }};
    quint16 port() const { return thread.port(); }
};

