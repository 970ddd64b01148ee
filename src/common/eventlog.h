#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QList>
#include <QString>
#include <deque>

class HVError;

// What happened between Pylonet and the crate during this run, in memory only:
// connects, disconnects and lost links, every write with its outcome, boards
// that vanished, and every change of a channel's status that an open panel saw.
// At most Capacity entries; the oldest go first. As a table model, row 0 is
// the newest entry. Nothing is written anywhere unless the operator saves it.
class EventLog : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int Capacity = 10000;

    enum class Kind { Connect, Disconnect, LinkLost, Write, WriteRefused, BoardRemoved, Status };
    static constexpr int KindCount = int(Kind::Status) + 1;

    enum Column { TimeColumn, KindColumn, SlotColumn, ChannelColumn, NameColumn, ParameterColumn, ValueColumn,
                  DetailColumn, ColumnCount };

    struct Entry
    {
        qint64 timeMs = 0;     // when it was recorded, milliseconds since the epoch
        Kind kind = Kind::Connect;
        int slot = -1;         // -1: the crate or the link as a whole
        int channel = -1;      // -1: no channel
        QString channelName;   // the channel's name as the panel showed it
        QString parameter;
        QString value;         // writes: as sent; status: the new text
        QString detail;        // what happened, readable on its own
    };

    explicit EventLog(QObject *parent = nullptr);

    // The recorders the windows call; each adds one entry stamped now.
    void link(Kind kind, const QString &detail); // Connect, Disconnect or LinkLost
    void write(int slot, int channel, const QString &channelName, const QString &parameter, const QVariant &value,
               const HVError *refusal);
    void boardRemoved(int slot);
    void statusChanged(int slot, int channel, const QString &channelName, const QString &from, const QString &to);
    void add(Entry entry); // keeps a time already set

    int size() const { return int(m_entries.size()); }
    const Entry &at(int i) const { return m_entries[size_t(i)]; } // 0 = the oldest
    const Entry &atRow(int row) const { return at(size() - 1 - row); } // row 0 = the newest
    static QString kindText(Kind kind);

    // A header row, then one row per entry in the order given.
    static QByteArray csv(const QList<Entry> &entries);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::deque<Entry> m_entries; // oldest first
};
