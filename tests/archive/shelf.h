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
        QList<EventRow> out;
        bool done = false;
        QObject context;
        events.fetch(0, std::numeric_limits<qint64>::max(), &context, [&](const QList<EventRow> &rows, const QString &e) {
            out = rows;
            if (error)
                *error = e;
            done = true;
        });
        if (!QTest::qWaitFor([&] { return done; }, 10000) && error)
            *error = QStringLiteral("no answer");
        return out;
    }
    // A key's samples, as a graph asks for them when a trace is added.
    TrendSeries history(const TrendKey &key, qint64 fromMs = 0, qint64 toMs = std::numeric_limits<qint64>::max(),
                        QString *error = nullptr)
    {
        TrendSeries out;
        bool done = false;
        QObject context;
        trends.history(key, fromMs, toMs, 0, &context, [&](const TrendSeries &s, const QString &e) {
            out = s;
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
