#include "eventlog.h"

#include "csvtext.h"
#include "plaintext.h"

#include <QDateTime>
#include <algorithm>

namespace {
const char *const Headers[EventLog::ColumnCount] = {"Time", "Kind", "Slot", "Channel", "Name", "Parameter",
                                                     "Old value", "New value", "Outcome", "Detail"};

QString number(int n)
{
    return n < 0 ? QString() : QString::number(n);
}

// An entry of a channel's parameter going from one value to another.
EventLog::Entry change(EventLog::Kind kind, int slot, int channel, const QString &channelName,
                       const QString &parameter, const QString &from, const QString &to)
{
    EventLog::Entry e;
    e.kind = kind;
    e.slot = slot;
    e.channel = channel;
    e.channelName = channelName;
    e.parameter = parameter;
    e.oldValue = from;
    e.newValue = to;
    return e;
}
} // namespace

QString EventLog::heading(int column)
{
    return column >= 0 && column < ColumnCount ? QString::fromLatin1(Headers[column]) : QString();
}

QString EventLog::cellText(const Entry &e, int column)
{
    switch (column) {
    case EventLog::TimeColumn:
        return QDateTime::fromMSecsSinceEpoch(e.timeMs).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
    case EventLog::KindColumn: return EventLog::kindText(e.kind);
    case EventLog::SlotColumn: return number(e.slot);
    case EventLog::ChannelColumn: return number(e.channel);
    case EventLog::NameColumn: return e.channelName;
    case EventLog::ParameterColumn: return e.parameter;
    case EventLog::OldColumn: return e.oldValue;
    case EventLog::NewColumn: return e.newValue;
    case EventLog::OutcomeColumn: return EventLog::outcomeText(e.outcome);
    case EventLog::DetailColumn: return e.detail;
    default: return QString();
    }
}

EventLog::EventLog(QObject *parent) : QAbstractTableModel(parent) {}

void EventLog::link(Kind kind, const QString &detail)
{
    Entry e;
    e.kind = kind;
    e.detail = detail;
    add(std::move(e));
}

qint64 EventLog::writeMade(int slot, int channel, const QString &channelName, const QString &parameter,
                           const QString &oldValue, const QString &newValue)
{
    Entry e = change(Kind::Write, slot, channel, channelName, parameter, oldValue, newValue);
    e.outcome = Outcome::Pending;
    return add(std::move(e));
}

void EventLog::writeOutcome(qint64 id, Outcome outcome, const QString &detail)
{
    const int i = indexOf(id);
    if (i < 0)
        return;
    Entry &e = m_entries[size_t(i)];
    e.outcome = outcome;
    e.detail = detail;
    const int row = size() - 1 - i;
    emit dataChanged(index(row, OutcomeColumn), index(row, DetailColumn));
    emit revised(e);
}

void EventLog::revise(qint64 id, const QString &detail)
{
    const int i = indexOf(id);
    if (i < 0)
        return;
    Entry &e = m_entries[size_t(i)];
    e.detail = detail;
    const int row = size() - 1 - i;
    emit dataChanged(index(row, DetailColumn), index(row, DetailColumn));
    emit revised(e);
}

bool EventLog::wroteSince(int slot, int channel, const QString &parameter, qint64 sinceMs) const
{
    for (auto it = m_entries.crbegin(); it != m_entries.crend() && it->timeMs >= sinceMs; ++it)
        if (it->kind == Kind::Write && it->slot == slot && it->channel == channel && it->parameter == parameter
            && it->outcome != Outcome::Refused)
            return true;
    return false;
}

void EventLog::changedElsewhere(int slot, int channel, const QString &channelName, const QString &parameter,
                                const QString &from, const QString &to)
{
    Entry e = change(Kind::ChangedElsewhere, slot, channel, channelName, parameter, from, to);
    e.detail = QStringLiteral("%1 changed elsewhere: %2 \u2192 %3").arg(parameter, from, to);
    add(std::move(e));
}

void EventLog::windowClosed(int slot, const QString &detail)
{
    Entry e;
    e.kind = Kind::WindowClosed;
    e.slot = slot;
    e.detail = detail;
    add(std::move(e));
}

void EventLog::statusChanged(int slot, int channel, const QString &channelName, const QString &from,
                             const QString &to)
{
    Entry e = change(Kind::Status, slot, channel, channelName, QStringLiteral("Status"), from, to);
    e.detail = QStringLiteral("%1 \u2192 %2").arg(from, to);
    add(std::move(e));
}

qint64 EventLog::add(Entry entry)
{
    if (entry.timeMs == 0)
        entry.timeMs = QDateTime::currentMSecsSinceEpoch();
    if (entry.crate.isEmpty())
        entry.crate = m_crate;
    entry.id = ++m_lastId;
    if (size() >= Capacity) {
        beginRemoveRows({}, size() - 1, size() - 1); // the oldest is the last row
        m_entries.pop_front();
        endRemoveRows();
    }
    beginInsertRows({}, 0, 0);
    m_entries.push_back(std::move(entry));
    endInsertRows();
    emit recorded(m_entries.back());
    return m_lastId;
}

int EventLog::indexOf(qint64 id) const
{
    const auto it = std::lower_bound(m_entries.cbegin(), m_entries.cend(), id,
                                     [](const Entry &e, qint64 wanted) { return e.id < wanted; });
    return it != m_entries.cend() && it->id == id ? int(it - m_entries.cbegin()) : -1;
}

const EventLog::Entry *EventLog::find(qint64 id) const
{
    const int i = indexOf(id);
    return i < 0 ? nullptr : &m_entries[size_t(i)];
}

QString EventLog::kindText(Kind kind)
{
    switch (kind) {
    case Kind::Connect: return QStringLiteral("Connect");
    case Kind::Disconnect: return QStringLiteral("Disconnect");
    case Kind::LinkLost: return QStringLiteral("Link lost");
    case Kind::Write: return QStringLiteral("Write");
    case Kind::BoardRemoved: return QStringLiteral("Board removed");
    case Kind::Status: return QStringLiteral("Status");
    case Kind::WindowClosed: return QStringLiteral("Window closed");
    case Kind::ChangedElsewhere: return QStringLiteral("Changed elsewhere");
    case Kind::Alarm: return QStringLiteral("Alarm");
    case Kind::AlarmCleared: return QStringLiteral("Alarm cleared");
    case Kind::Acknowledged: return QStringLiteral("Acknowledged");
    case Kind::ShiftLog: return QStringLiteral("Shift log");
    }
    return QString();
}

std::optional<EventLog::Kind> EventLog::kindOf(const QString &text)
{
    for (int k = 0; k < KindCount; ++k)
        if (kindText(Kind(k)) == text)
            return Kind(k);
    return std::nullopt;
}

EventLog::Outcome EventLog::outcomeOf(const QString &text)
{
    for (Outcome o : {Outcome::Pending, Outcome::Written, Outcome::Refused, Outcome::Unknown})
        if (outcomeText(o) == text)
            return o;
    return Outcome::None;
}

QString EventLog::outcomeText(Outcome outcome)
{
    switch (outcome) {
    case Outcome::None: return QString();
    case Outcome::Pending: return QStringLiteral("pending");
    case Outcome::Written: return QStringLiteral("written");
    case Outcome::Refused: return QStringLiteral("refused");
    case Outcome::Unknown: return QStringLiteral("unknown");
    }
    return QString();
}

QByteArray EventLog::csv(const QList<Entry> &entries)
{
    QByteArray out = QByteArray(CsvText::Bom) + "crate";
    for (int c = 0; c < ColumnCount; ++c)
        out += ',' + QByteArray(Headers[c]).toLower().replace(' ', '_');
    out += '\n';
    for (const Entry &e : entries) {
        out += CsvText::cell(e.crate) + ',' + CsvText::isoTime(e.timeMs);
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
    const QString text = cellText(atRow(index.row()), index.column());
    return tip ? PlainText::tip(text) : text; // the crate's reason as sent, never as markup
}

QVariant EventLog::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return heading(section);
}
