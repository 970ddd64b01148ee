#include "frmevents.h"

#include "eventlog.h"
#include "instrumentaccess.h"
#include "eventpage.h"
#include "main_window.h"
#include "shiftlog.h"
#include "savefile.h"
#include "screenfit.h"
#include "windowkeys.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>
#include <QDateTime>
#include <QLocale>
#include <limits>

namespace {
// Keeps the rows of one slot and one kind; -1 keeps every slot or every kind.
class EventFilter : public QSortFilterProxyModel
{
public:
    explicit EventFilter(EventPage &page, QObject *parent) : QSortFilterProxyModel(parent), m_page(page)
    {
        setSourceModel(&page);
    }
    void setFilters(int slot, int kind)
    {
        m_slot = slot;
        m_kind = kind;
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex &) const override
    {
        const EventLog::Entry &e = m_page.atRow(row);
        return (m_slot < 0 || e.slot == m_slot) && (m_kind < 0 || int(e.kind) == m_kind);
    }

private:
    EventPage &m_page; // the source
    int m_slot = -1; // the slot kept
    int m_kind = -1; // the kind kept
};
} // namespace

frmEvents::frmEvents(EventLog &log, ShiftLog &shift, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_page(new EventPage(log, shift, this))
    , lblPeriod(new QLabel(this))
    , cmdEarlier(new QPushButton(QStringLiteral("\u25c0 &Earlier day"), this))
    , cmdLater(new QPushButton(QStringLiteral("La&ter day \u25b6"), this))
    , cmdThisShift(new QPushButton(QStringLiteral("This s&hift"), this))
    , m_listed(new EventFilter(*m_page, this))
    , cboSlot(new QComboBox(this))
    , cboKind(new QComboBox(this))
    , tblEvents(new QTableView(this))
    , cmdSaveCsv(new QPushButton(QStringLiteral("Save as CSV..."), this))
{
    setObjectName(QStringLiteral("frmEvents"));
    InstrumentAccess::install(); // the filters go by their names
    setWindowTitle(QStringLiteral("Events"));

    cboSlot->setObjectName(QStringLiteral("cboSlot"));
    cboSlot->setAccessibleName(QStringLiteral("Slot filter"));
    cboSlot->addItem(QStringLiteral("All slots"), -1);
    for (int slot = 0; slot < Main::MaxSlots; ++slot)
        cboSlot->addItem(QStringLiteral("Slot %1").arg(slot), slot);
    cboKind->setObjectName(QStringLiteral("cboKind"));
    cboKind->setAccessibleName(QStringLiteral("Kind filter"));
    cboKind->addItem(QStringLiteral("All kinds"), -1);
    for (int kind = 0; kind < EventLog::KindCount; ++kind)
        cboKind->addItem(EventLog::kindText(EventLog::Kind(kind)), kind);
    const auto refilter = [this] {
        static_cast<EventFilter *>(m_listed)->setFilters(cboSlot->currentData().toInt(), cboKind->currentData().toInt());
    };
    connect(cboSlot, &QComboBox::currentIndexChanged, this, refilter);
    connect(cboKind, &QComboBox::currentIndexChanged, this, refilter);

    tblEvents->setObjectName(QStringLiteral("tblEvents"));
    tblEvents->setAccessibleName(QStringLiteral("Events"));
    tblEvents->setTabKeyNavigation(false); // Tab leaves the table; the arrows move in it
    tblEvents->setModel(m_listed);
    tblEvents->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblEvents->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblEvents->setWordWrap(false);
    tblEvents->verticalHeader()->hide();
    tblEvents->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    tblEvents->verticalHeader()->setDefaultSectionSize(tblEvents->fontMetrics().height() + 6);
    tblEvents->horizontalHeader()->setStretchLastSection(true);
    // Widths from sample texts: measuring ten thousand rows each time would be slow.
    const QFontMetrics fm(tblEvents->font());
    const int pad = 2 * fm.horizontalAdvance(QLatin1Char('M'));
    const char *const widest[] = {"2026-03-14 12:00:00.000", "Window closed", "Slot", "Channel", "Channel name",
                                  "Parameter", "1.2345 kV", "1.2345 kV", "unknown"};
    for (int c = 0; c < int(std::size(widest)); ++c)
        tblEvents->setColumnWidth(c, fm.horizontalAdvance(QString::fromLatin1(widest[c])) + pad);

    cmdSaveCsv->setObjectName(QStringLiteral("cmdSaveCsv"));
    cmdSaveCsv->setAutoDefault(true); // Enter presses it, as Space does
    connect(cmdSaveCsv, &QPushButton::clicked, this, &frmEvents::askAndSave);

    auto *filters = new QHBoxLayout;
    auto *slotCaption = new QLabel(QStringLiteral("&Slot:"), this);
    slotCaption->setBuddy(cboSlot);
    auto *kindCaption = new QLabel(QStringLiteral("&Kind:"), this);
    kindCaption->setBuddy(cboKind);
    filters->addWidget(slotCaption);
    filters->addWidget(cboSlot);
    filters->addSpacing(12);
    filters->addWidget(kindCaption);
    filters->addWidget(cboKind);
    filters->addStretch(1);
    filters->addWidget(cmdSaveCsv);
    lblPeriod->setObjectName(QStringLiteral("lblPeriod"));
    cmdEarlier->setObjectName(QStringLiteral("cmdEarlier"));
    cmdLater->setObjectName(QStringLiteral("cmdLater"));
    cmdThisShift->setObjectName(QStringLiteral("cmdThisShift"));
    connect(cmdEarlier, &QPushButton::clicked, this, [this] { showPeriod(m_daysBack + 1); });
    connect(cmdLater, &QPushButton::clicked, this, [this] { showPeriod(m_daysBack - 1); });
    connect(cmdThisShift, &QPushButton::clicked, this, [this] { showPeriod(0); });
    connect(m_page, &EventPage::loaded, this, &frmEvents::loaded);
    auto *periods = new QHBoxLayout;
    periods->addWidget(cmdEarlier);
    periods->addWidget(cmdLater);
    periods->addWidget(cmdThisShift);
    periods->addSpacing(12);
    periods->addWidget(lblPeriod, 1);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(periods);
    layout->addLayout(filters);
    layout->addWidget(tblEvents, 1);
    showPeriod(0);

    // Tab in reading order: the days, the filters and the button above the table, then the table.
    setTabOrder(cmdEarlier, cmdLater);
    setTabOrder(cmdLater, cmdThisShift);
    setTabOrder(cmdThisShift, cboSlot);
    setTabOrder(cboSlot, cboKind);
    setTabOrder(cboKind, cmdSaveCsv);
    setTabOrder(cmdSaveCsv, tblEvents);

    addCloseKeys(this);
    ScreenFit::resize(this, QSize(1000, 420));
}

frmEvents::~frmEvents() = default;

bool frmEvents::saveCsv(const QString &path)
{
    QList<EventLog::Entry> rows;
    for (int row = m_listed->rowCount() - 1; row >= 0; --row)
        rows << m_page->atRow(m_listed->mapToSource(m_listed->index(row, 0)).row());
    return SaveFile::write(this, QStringLiteral("events"), path, EventLog::csv(rows));
}

void frmEvents::askAndSave()
{
    const QString path = SaveFile::ask(this, QStringLiteral("Save events as CSV"), QStringLiteral("events"),
                                       {QStringLiteral("CSV data (*.csv)")});
    if (!path.isEmpty())
        saveCsv(path);
}

void frmEvents::showPeriod(int daysBack)
{
    m_daysBack = qMax(0, daysBack);
    const QDateTime now = QDateTime::currentDateTime();
    if (m_daysBack == 0) {
        // Open-ended: the shift goes on while the window is open.
        m_page->show(ShiftLog::shiftStart(now, ShiftLog::shiftStarts()).toMSecsSinceEpoch(),
                     std::numeric_limits<qint64>::max());
    } else {
        const QDate day = now.date().addDays(1 - m_daysBack);
        m_page->show(day.startOfDay().toMSecsSinceEpoch(), day.addDays(1).startOfDay().toMSecsSinceEpoch());
    }
    cmdLater->setEnabled(m_daysBack > 0);
    cmdThisShift->setEnabled(m_daysBack > 0);
    loaded();
}

QString frmEvents::periodText() const
{
    const QDateTime now = QDateTime::currentDateTime();
    QString text = m_daysBack == 0
                       ? tr("This shift, since %1").arg(QLocale().toString(ShiftLog::shiftStart(now, ShiftLog::shiftStarts()),
                                                                           QStringLiteral("dddd hh:mm")))
                       : QLocale().toString(now.date().addDays(1 - m_daysBack), QLocale::LongFormat);
    if (m_page->isLoading())
        text += tr(" (reading the shift log...)");
    else if (!m_page->error().isEmpty())
        text += tr(" \u2014 the shift log's file cannot be read (%1): only this run's events are listed").arg(m_page->error());
    return text;
}

bool frmEvents::isLoading() const
{
    return m_page->isLoading();
}

void frmEvents::loaded()
{
    lblPeriod->setText(periodText());
}
