#pragma once

#include <QWidget>

class EventLog;
class QComboBox;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;

// The Events window: the event log, newest first, narrowed to one slot and one
// kind of event by the two boxes above it. "Save as CSV..." writes the rows it
// lists to a file the operator picks. It reads the log only, never the crate,
// and follows it as events are recorded. Tab goes slot, kind, the button, the
// table (whose arrows move in it), and out again; Enter presses the button.
class frmEvents : public QWidget
{
    Q_OBJECT
public:
    explicit frmEvents(EventLog &log, QWidget *parent = nullptr);
    ~frmEvents() override;

    // The rows as listed, in their order.
    QSortFilterProxyModel *listed() const { return m_listed; }
    // Writes the listed rows (oldest first) as CSV; on failure the operator is told why.
    bool saveCsv(const QString &path);

private:
    void askAndSave();

    EventLog &m_log;                  // Main's log
    QSortFilterProxyModel *m_listed;  // the log through the two filters
    QComboBox *cboSlot;               // "All slots", "Slot 0" .. "Slot 15"
    QComboBox *cboKind;               // "All kinds" and each kind
    QTableView *tblEvents;            // the rows
    QPushButton *cmdSaveCsv;          // "Save as CSV..."
};
