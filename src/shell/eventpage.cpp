#include "eventpage.h"

#include "shiftlog.h"

EventPage::EventPage(EventLog &log, ShiftLog &shift, QObject *parent) : QAbstractTableModel(parent), m_shift(shift)
{
    connect(&log, &EventLog::recorded, this, &EventPage::recorded);
    connect(&log, &EventLog::revised, this, &EventPage::revised);
}

void EventPage::show(qint64 fromMs, qint64 toMs)
{
    m_fromMs = fromMs;
    m_toMs = toMs;
    m_loading = true;
    const int request = ++m_request;
    m_shift.fetch(fromMs, toMs, this, [this, request](const QList<EventLog::Entry> &entries, const QString &error) {
        if (request != m_request)
            return;
        beginResetModel();
        m_entries.assign(entries.cbegin(), entries.cend());
        endResetModel();
        m_error = error;
        m_loading = false;
        emit loaded();
    });
}

void EventPage::recorded(const EventLog::Entry &e)
{
    // While a read is on its way its answer brings this entry too.
    if (m_loading || e.timeMs < m_fromMs || e.timeMs >= m_toMs)
        return;
    beginInsertRows({}, 0, 0);
    m_entries.push_back(e);
    endInsertRows();
}

void EventPage::revised(const EventLog::Entry &e)
{
    for (size_t i = m_entries.size(); i-- > 0;) {
        if (m_entries[i].id != e.id)
            continue;
        m_entries[i] = e;
        const int row = int(m_entries.size() - 1 - i);
        emit dataChanged(index(row, 0), index(row, EventLog::ColumnCount - 1));
        return;
    }
}

int EventPage::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

int EventPage::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : EventLog::ColumnCount;
}

QVariant EventPage::data(const QModelIndex &index, int role) const
{
    // A long detail may not fit its column: the tooltip shows it whole.
    const bool tip = role == Qt::ToolTipRole && index.column() == EventLog::DetailColumn;
    if (!index.isValid() || index.row() >= rowCount() || (role != Qt::DisplayRole && !tip))
        return {};
    return EventLog::cellText(atRow(index.row()), index.column());
}

QVariant EventPage::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return EventLog::heading(section);
}
