#include "eventlog.h"

#include "csvtext.h"
#include "hverror.h"

#include <QDateTime>

namespace {
const char *const Headers[EventLog::ColumnCount] = {"Time", "Kind", "Slot", "Channel", "Name", "Parameter",
                                                     "Value", "Detail"};

QString number(int n)
{
    return n < 0 ? QString() : QString::number(n);
}

QString cellText(const EventLog::Entry &e, int column)
{
    switch (column) {
    case EventLog::TimeColumn:
        return QDateTime::fromMSecsSinceEpoch(e.timeMs).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
    case EventLog::KindColumn: return EventLog::kindText(e.kind);
    case EventLog::SlotColumn: return number(e.slot);
    case EventLog::ChannelColumn: return number(e.channel);
    case EventLog::NameColumn: return e.channelName;
    case EventLog::ParameterColumn: return e.parameter;
    case EventLog::ValueColumn: return e.value;
    case EventLog::DetailColumn: return e.detail;
    default: return QString();
    }
}
} // namespace

EventLog::EventLog(QObject *parent) : QAbstractTableModel(parent) {}

void EventLog::link(Kind kind, const QString &detail)
{
    add({0, kind, -1, -1, {}, {}, {}, detail});
}

void EventLog::write(int slot, int channel, const QString &channelName, const QString &parameter,
                     const QVariant &value, const HVError *refusal)
{
    add({0, refusal ? Kind::WriteRefused : Kind::Write, slot, channel, channelName, parameter, value.toString(),
         refusal ? refusal->message() : QStringLiteral("Written")});
}

void EventLog::boardRemoved(int slot)
{
    add({0, Kind::BoardRemoved, slot, -1, {}, {}, {}, QStringLiteral("Board removed")});
}

void EventLog::statusChanged(int slot, int channel, const QString &channelName, const QString &from,
                             const QString &to)
{
    add({0, Kind::Status, slot, channel, channelName, QStringLiteral("Status"), to,
         QStringLiteral("%1 \u2192 %2").arg(from, to)});
}

void EventLog::add(Entry entry)
{
    if (entry.timeMs == 0)
        entry.timeMs = QDateTime::currentMSecsSinceEpoch();
    if (size() >= Capacity) {
        beginRemoveRows({}, size() - 1, size() - 1); // the oldest is the last row
        m_entries.pop_front();
        endRemoveRows();
    }
    beginInsertRows({}, 0, 0);
    m_entries.push_back(std::move(entry));
    endInsertRows();
}

QString EventLog::kindText(Kind kind)
{
    switch (kind) {
    case Kind::Connect: return QStringLiteral("Connect");
    case Kind::Disconnect: return QStringLiteral("Disconnect");
    case Kind::LinkLost: return QStringLiteral("Link lost");
    case Kind::Write: return QStringLiteral("Write");
    case Kind::WriteRefused: return QStringLiteral("Write refused");
    case Kind::BoardRemoved: return QStringLiteral("Board removed");
    case Kind::Status: return QStringLiteral("Status");
    }
    return QString();
}

QByteArray EventLog::csv(const QList<Entry> &entries)
{
    QByteArray out;
    for (int c = 0; c < ColumnCount; ++c)
        out += (c ? "," : "") + QByteArray(Headers[c]).toLower();
    out += '\n';
    for (const Entry &e : entries) {
        out += CsvText::isoTime(e.timeMs);
        for (int c = KindColumn; c < ColumnCount; ++c)
            out += ',' + CsvText::cell(cellText(e, c));
        out += '\n';
    }
    return out;
}

int EventLog::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : size();
}

int EventLog::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant EventLog::data(const QModelIndex &index, int role) const
{
    // A long detail may not fit its column: the tooltip shows it whole.
    const bool tip = role == Qt::ToolTipRole && index.column() == DetailColumn;
    if (!index.isValid() || index.row() >= size() || (role != Qt::DisplayRole && !tip))
        return {};
    return cellText(atRow(index.row()), index.column());
}

QVariant EventLog::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromLatin1(Headers[section]);
}
