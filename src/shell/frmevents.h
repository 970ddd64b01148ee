#pragma once

#include <QWidget>

class EventLog;
class EventPage;
class QComboBox;
class QLabel;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;
class ShiftLog;

// The Events window: the shift log, newest first, narrowed to one slot and one
// kind of event by the two boxes above it. It opens on this shift (as the
// settings' shift times divide the day) and pages back a day at a time
// ("Earlier day", "Later day", "This shift"), reading the shift log's file off
// the GUI thread. "Save as CSV..." writes the rows it lists to a file the
// operator picks. It reads the log only, never the crate, and follows it as
// events are recorded. Tab goes slot, kind, the buttons, the table (whose
// arrows move in it), and out again; Enter presses a button.
class frmEvents : public QWidget
{
    Q_OBJECT
public:
    frmEvents(EventLog &log, ShiftLog &shift, QWidget *parent = nullptr);
    ~frmEvents() override;

    // The rows as listed, in their order.
    QSortFilterProxyModel *listed() const { return m_listed; }
    // Writes the listed rows (oldest first) as CSV; on failure the operator is told why.
    bool saveCsv(const QString &path);

    // The period listed: 0 is this shift, 1 today, 2 yesterday, ...
    void showPeriod(int daysBack);
    int period() const { return m_daysBack; }
    QString periodText() const;
    bool isLoading() const;

private:
    void askAndSave();
    void loaded();

    EventPage *m_page;                // the period's entries
    int m_daysBack = 0;               // the period listed
    QLabel *lblPeriod;                // which period, and whether the file could be read
    QPushButton *cmdEarlier;          // "&Earlier day"
    QPushButton *cmdLater;            // "La&ter day"
    QPushButton *cmdThisShift;        // "This s&hift"
    QSortFilterProxyModel *m_listed;  // the log through the two filters
    QComboBox *cboSlot;               // "All slots", "Slot 0" .. "Slot 15"
    QComboBox *cboKind;               // "All kinds" and each kind
    QTableView *tblEvents;            // the rows
    QPushButton *cmdSaveCsv;          // "Save as CSV..."
};
