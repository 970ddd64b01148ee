#include "historycsv.h"

#include "archivetable.h"
#include "csvtext.h"
#include "trendcursor.h"

#include <QLocale>
#include <QSaveFile>
#include <limits>
#include <memory>
#include <vector>

using CsvText::cell;
using CsvText::isoTime;

namespace {
constexpr qsizetype ChunkBytes = 1 << 16; // written to the file this much at a time
}

HistoryCsv::Outcome HistoryCsv::write(const TrendTable &table, const QList<Column> &columns, qint64 fromMs, qint64 toMs,
                                      const QString &path, const std::function<bool(int percent)> &progress,
                                      QString *error)
{
    ArchiveConnection archive(table.path());
    if (!archive.isOpen()) {
        *error = QStringLiteral("The archive could not be read: %1").arg(archive.error());
        return Outcome::Failed;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return Outcome::Failed;
    }
    try {
        std::vector<std::unique_ptr<TrendCursor>> cursors;
        QByteArray out = "time";
        for (const Column &c : columns) {
            cursors.push_back(std::make_unique<TrendCursor>(archive.db(), table, c.key, fromMs, toMs));
            out += ',' + cell(c.header);
        }
        out += '\n';
        const QLocale locale = QLocale::c();
        const double span = std::max<qint64>(1, toMs - fromMs);
        for (qint64 rows = 0;; ++rows) {
            // The earliest time any key has left is the next row.
            qint64 at = std::numeric_limits<qint64>::max();
            for (const auto &c : cursors)
                if (!c->atEnd())
                    at = std::min(at, c->time());
            if (at == std::numeric_limits<qint64>::max())
                break;
            out += isoTime(at);
            for (const auto &c : cursors) {
                out += ',';
                if (!c->atEnd() && c->time() == at) {
                    out += locale.toString(c->value(), 'g', QLocale::FloatingPointShortest).toLatin1();
                    c->next();
                }
            }
            out += '\n';
            if (out.size() >= ChunkBytes) {
                if (file.write(out) != out.size())
                    break; // the commit says why
                out.clear();
            }
            if (progress && rows % 1024 == 0 && !progress(int((at - fromMs) / span * 100))) {
                file.cancelWriting();
                return Outcome::Cancelled;
            }
        }
        file.write(out);
    } catch (const ArchiveError &e) {
        file.cancelWriting();
        *error = QStringLiteral("The archive could not be read: %1").arg(e.message());
        return Outcome::Failed;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return Outcome::Failed;
    }
    return Outcome::Written;
}
