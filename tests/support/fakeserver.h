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
    explicit FakeServer(const QHostAddress &address = QHostAddress(QHostAddress::LocalHost))
        : thread(
              [this] {
                  return std::make_unique<LinkServer>([this] {
                      auto f = std::make_unique<FakeHV>();
                      if (setUp)
                          setUp(*f);
                      fake = f.get();
                      return std::unique_ptr<HVPowerSupply>(std::move(f));
                  });
              },
              address)
    {
    }

    std::atomic<FakeHV *> fake{nullptr};
    std::function<void(FakeHV &)> setUp; // runs on each new fake
    LinkServerThread thread;             // the server, listening on a free port
    quint16 port() const { return thread.port(); }
};

