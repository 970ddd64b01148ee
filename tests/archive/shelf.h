#pragma once

#include "archive.h"
#include "eventstable.h"
#include "trendtable.h"

#include <QTest>
#include <limits>

// An archive on the file with its two parts, events and trends, started.
struct Shelf
{
    explicit Shelf(const QString &path, int retentionDays = 90, int busyMs = 2000,
                   int trendDays = TrendTable::DefaultRetentionDays, int flushMs = 100)
        : archive({path, retentionDays, flushMs, 100, busyMs}), events(archive.add(std::make_unique<EventsTable>())),
          trends(archive.add(std::make_unique<TrendTable>(trendDays)))
    {
        archive.start();
    }
    // Every event, read on the worker as the Events window reads a period.
    QList<EventRow> rows(QString *error = nullptr)
    {
        return answer<QList<EventRow>>(error, [this](QObject *context, auto done) {
            events.fetch(0, std::numeric_limits<qint64>::max(), context, done);
        });
    }
    // A key's samples, as a graph asks for them when a trace is added.
    TrendSeries history(const TrendKey &key, qint64 fromMs = 0, qint64 toMs = std::numeric_limits<qint64>::max(),
                        QString *error = nullptr)
    {
        return answer<TrendSeries>(error, [&](QObject *context, auto done) { trends.history(key, fromMs, toMs, 0, context, done); });
    }
    // What the worker answers a request, waited for; its error, or "no answer", in error.
    template <typename T, typename Ask> static T answer(QString *error, Ask ask)
    {
        T out;
        bool done = false;
        QObject context;
        ask(&context, [&](const T &answered, const QString &e) {
            out = answered;
            if (error)
                *error = e;
            done = true;
        });
        if (!QTest::qWaitFor([&] { return done; }, 10000) && error)
            *error = QStringLiteral("no answer");
        return out;
    }
    Archive archive;
    EventsTable &events;
    TrendTable &trends;
};
