#include "alarmbook.h"

#include <QDateTime>
#include <QFont>

namespace {
const char *const Headers[AlarmBook::ColumnCount] = {"Slot", "Channel", "Name", "What", "Since", "State"};

QString clock(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}
} // namespace

AlarmBook::AlarmBook(EventLog &log, QObject *parent) : QAbstractTableModel(parent), m_log(log) {}

QString AlarmBook::whatText(What what)
{
    switch (what) {
    case What::Trip: return tr("Trip");
    case What::OverCurrent: return tr("Over-current");
    case What::OverVoltage: return tr("Over-voltage");
    case What::Kill: return tr("Kill");
    case What::Interlock: return tr("Interlock");
    case What::PowerFail: return tr("Power fail");
    case What::OverTemp: return tr("Over temperature");
    case What::Checksum: return tr("Firmware checksum error");
    case What::BoardRemoved: return tr("Board removed");
    }
    return QString();
}

QString AlarmBook::shortText(What what)
{
    switch (what) {
    case What::Trip: return QStringLiteral("TRIP");
    case What::OverCurrent: return QStringLiteral("OVC");
    case What::OverVoltage: return QStringLiteral("OVV");
    case What::Kill: return QStringLiteral("KILL");
    case What::Interlock: return QStringLiteral("ILOCK");
    case What::PowerFail: return QStringLiteral("PWR FAIL");
    case What::OverTemp: return QStringLiteral("TEMP");
    case What::Checksum: return QStringLiteral("CHKSUM");
    case What::BoardRemoved: return QStringLiteral("REMOVED");
    }
    return QString();
}

qint64 AlarmBook::raise(What what, int slot, int channel, const QString &channelName, const QString &text,
                        EventLog::Entry entry)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    entry.slot = slot;
    entry.channel = channel;
    entry.channelName = channelName;
    entry.detail = tr("Alarm: %1").arg(text);
    for (size_t i = 0; i < m_alarms.size(); ++i) {
        Alarm &a = m_alarms[i];
        if (a.what != what || a.slot != slot || a.channel != channel)
            continue;
        if (a.isActive())
            return a.id;
        // Seen again before anyone acknowledged it: the same alarm, active again.
        a.clearedMs = 0;
        a.sinceMs = now;
        a.text = text;
        a.channelName = channelName;
        a.logId = m_log.add(std::move(entry));
        rowChanged(int(i));
        emit raised();
        return a.id;
    }
    Alarm a;
    a.id = ++m_lastId;
    a.what = what;
    a.slot = slot;
    a.channel = channel;
    a.channelName = channelName;
    a.text = text;
    a.sinceMs = now;
    a.logId = m_log.add(std::move(entry));
    beginInsertRows({}, 0, 0);
    m_alarms.push_back(std::move(a));
    endInsertRows();
    emit changed();
    emit raised();
    return m_lastId;
}

void AlarmBook::clear(What what, int slot, int channel)
{
    for (size_t i = 0; i < m_alarms.size(); ++i) {
        Alarm &a = m_alarms[i];
        if (a.what != what || a.slot != slot || a.channel != channel || !a.isActive())
            continue;
        a.clearedMs = QDateTime::currentMSecsSinceEpoch();
        logged(EventLog::Kind::AlarmCleared, a, tr("Cleared: %1").arg(a.text));
        if (a.acknowledged)
            drop(int(i));
        else
            rowChanged(int(i));
        return;
    }
}

void AlarmBook::setText(qint64 id, const QString &text)
{
    const int i = indexOf(id);
    if (i < 0 || m_alarms[size_t(i)].text == text)
        return;
    Alarm &a = m_alarms[size_t(i)];
    a.text = text;
    m_log.revise(a.logId, tr("Alarm: %1").arg(text));
    rowChanged(i);
}

void AlarmBook::acknowledge(const QList<qint64> &ids)
{
    for (qint64 id : ids) {
        const int i = indexOf(id);
        if (i < 0 || m_alarms[size_t(i)].acknowledged)
            continue;
        Alarm &a = m_alarms[size_t(i)];
        a.acknowledged = true;
        logged(EventLog::Kind::Acknowledged, a,
               tr("Acknowledged (%1): %2").arg(a.isActive() ? tr("still active") : tr("cleared"), a.text));
        if (a.isActive())
            rowChanged(i);
        else
            drop(i);
    }
}

void AlarmBook::acknowledgeAll()
{
    QList<qint64> ids;
    for (const Alarm &a : m_alarms)
        ids << a.id;
    acknowledge(ids);
}

void AlarmBook::logged(EventLog::Kind kind, const Alarm &a, const QString &detail)
{
    EventLog::Entry e;
    e.kind = kind;
    e.slot = a.slot;
    e.channel = a.channel;
    e.channelName = a.channelName;
    e.detail = detail;
    m_log.add(std::move(e));
}

int AlarmBook::indexOf(qint64 id) const
{
    for (size_t i = 0; i < m_alarms.size(); ++i)
        if (m_alarms[i].id == id)
            return int(i);
    return -1;
}

void AlarmBook::rowChanged(int i)
{
    const int row = size() - 1 - i;
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
    emit changed();
}

void AlarmBook::drop(int i)
{
    const int row = size() - 1 - i;
    beginRemoveRows({}, row, row);
    m_alarms.erase(m_alarms.begin() + i);
    endRemoveRows();
    emit changed();
}

const AlarmBook::Alarm *AlarmBook::find(What what, int slot, int channel) const
{
    for (const Alarm &a : m_alarms)
        if (a.what == what && a.slot == slot && a.channel == channel)
            return &a;
    return nullptr;
}

const AlarmBook::Alarm *AlarmBook::byId(qint64 id) const
{
    const int i = indexOf(id);
    return i < 0 ? nullptr : &m_alarms[size_t(i)];
}

int AlarmBook::unacknowledged() const
{
    return int(std::count_if(m_alarms.cbegin(), m_alarms.cend(), [](const Alarm &a) { return !a.acknowledged; }));
}

bool AlarmBook::tripLamp() const
{
    return std::any_of(m_alarms.cbegin(), m_alarms.cend(), [](const Alarm &a) {
        return a.what == What::Trip || a.what == What::Kill || a.what == What::Interlock;
    });
}

bool AlarmBook::powerFailLamp() const
{
    return std::any_of(m_alarms.cbegin(), m_alarms.cend(), [](const Alarm &a) { return a.what == What::PowerFail; });
}

QList<const AlarmBook::Alarm *> AlarmBook::ofSlot(int slot) const
{
    QList<const Alarm *> out;
    for (auto it = m_alarms.crbegin(); it != m_alarms.crend(); ++it)
        if (it->slot == slot)
            out << &*it;
    return out;
}

int AlarmBook::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : size();
}

int AlarmBook::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant AlarmBook::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= size())
        return {};
    const Alarm &a = atRow(index.row());
    if (role == Qt::FontRole && !a.acknowledged) {
        QFont bold;
        bold.setBold(true); // not yet acknowledged: stands out, in words too (the state column)
        return bold;
    }
    if (role == Qt::ToolTipRole && index.column() == WhatColumn)
        return a.text;
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case SlotColumn: return a.slot < 0 ? tr("crate") : QString::number(a.slot);
    case ChannelColumn: return a.channel < 0 ? QString() : QString::number(a.channel);
    case NameColumn: return a.channelName;
    case WhatColumn: return a.text;
    case SinceColumn: return clock(a.sinceMs);
    case StateColumn:
        if (a.isActive())
            return a.acknowledged ? tr("active, acknowledged") : tr("active, not acknowledged");
        return tr("cleared %1, not acknowledged").arg(clock(a.clearedMs).mid(11));
    default: return {};
    }
}

QVariant AlarmBook::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return tr(Headers[section]);
}
