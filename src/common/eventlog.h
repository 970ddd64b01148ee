#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QList>
#include <QString>
#include <deque>
#include <optional>

// What happened between Pylonet and the crate during this run: connects,
// disconnects and lost links, every write with its outcome, boards that
// vanished, windows closed for the crate's sake, every change of a channel's
// status, values changed by someone else, alarms raised, cleared and
// acknowledged, and the shift log's own trouble. In memory at most Capacity
// entries (the oldest go first); `recorded` and `revised` hand every entry to
// whoever keeps it longer (the shift log's database). As a table model, row 0
// is the newest entry.
//
// A write is recorded when it is made, with the value before and after in
// real units with their prefix, and its outcome is filled in when it is known
// (writeOutcome): written, refused with the crate's reason, or unknown because
// the link failed before the answer.
class EventLog : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int Capacity = 10000;

    enum class Kind { Connect, Disconnect, LinkLost, Write, BoardRemoved, Status, WindowClosed, ChangedElsewhere,
                      Alarm, AlarmCleared, Acknowledged, ShiftLog };
    static constexpr int KindCount = int(Kind::ShiftLog) + 1;
    enum class Outcome { None, Pending, Written, Refused, Unknown };

    enum Column { TimeColumn, KindColumn, SlotColumn, ChannelColumn, NameColumn, ParameterColumn, OldColumn,
                  NewColumn, OutcomeColumn, DetailColumn, ColumnCount };

    struct Entry
    {
        qint64 id = 0;         // rises with each entry
        qint64 timeMs = 0;     // when it happened, milliseconds since the epoch
        Kind kind = Kind::Connect;
        QString crate;         // the crate's address
        int slot = -1;         // -1: the crate or the link as a whole
        int channel = -1;      // -1: no channel
        QString channelName;   // the channel's name as the panel showed it
        QString parameter;
        QString oldValue;      // before: real units with prefix ("1.2 kV"), a switch "on"/"off", a name
        QString newValue;      // after, the same way
        Outcome outcome = Outcome::None; // writes only
        QString detail;        // what happened, readable on its own
    };

    // The words a write's unknown outcome is told with, on its control and here.
    static inline const QString UnknownOutcome =
        QStringLiteral("the link was lost before the answer; check the value");

    explicit EventLog(QObject *parent = nullptr);

    // The crate that entries are tagged with from now on.
    void setCrate(const QString &address) { m_crate = address; }
    QString crate() const { return m_crate; }

    // The recorders the windows call; each adds one entry stamped now.
    void link(Kind kind, const QString &detail); // Connect, Disconnect or LinkLost
    // A write just made; returns its id, for writeOutcome.
    qint64 writeMade(int slot, int channel, const QString &channelName, const QString &parameter,
                     const QString &oldValue, const QString &newValue);
    void writeOutcome(qint64 id, Outcome outcome, const QString &detail = QString());
    void windowClosed(int slot, const QString &detail); // slot -1: a window of several slots
    void statusChanged(int slot, int channel, const QString &channelName, const QString &from, const QString &to);
    // A value that changed without a write from this program (old and new in real units).
    void changedElsewhere(int slot, int channel, const QString &channelName, const QString &parameter,
                          const QString &from, const QString &to);
    qint64 add(Entry entry); // keeps a time and crate already set; returns the entry's id
    // A later word on an entry still kept: what happened, in full.
    void revise(qint64 id, const QString &detail);

    // Whether this program wrote the parameter of the channel (or the name, "Name")
    // at or after sinceMs, with an outcome other than refused: a change seen since is its own.
    bool wroteSince(int slot, int channel, const QString &parameter, qint64 sinceMs) const;

    int size() const { return int(m_entries.size()); }
    const Entry &at(int i) const { return m_entries[size_t(i)]; } // 0 = the oldest
    const Entry &atRow(int row) const { return at(size() - 1 - row); } // row 0 = the newest
    // The entry with this id, if it is still kept.
    const Entry *find(qint64 id) const;
    static QString kindText(Kind kind);
    static QString outcomeText(Outcome outcome);
    // The reverse of kindText and outcomeText, for entries read back; nullopt for an unknown word.
    static std::optional<Kind> kindOf(const QString &text);
    static Outcome outcomeOf(const QString &text);
    // A cell as the table and the CSV show it, and a column's heading.
    static QString cellText(const Entry &e, int column);
    static QString heading(int column);

    // A byte-order mark, a header row, then one row per entry in the order given (csvtext.h: safe cells).
    static QByteArray csv(const QList<Entry> &entries);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    // An entry was added; and an entry changed (a write's outcome, a revised detail).
    void recorded(const EventLog::Entry &entry);
    void revised(const EventLog::Entry &entry);

private:
    int indexOf(qint64 id) const; // -1 when no longer kept

    std::deque<Entry> m_entries; // oldest first, ids rising
    qint64 m_lastId = 0;         // id of the newest entry
    QString m_crate;             // tag of new entries
};
