#include "graphexport.h"

#include "graphsheet.h"
#include "msgbox.h"
#include "savefile.h"
#include "tracecsv.h"
#include "tracegraph.h"

#include <QAction>
#include <QApplication>
#include <QDateTimeEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QEventLoop>
#include <QFileInfo>
#include <QMenu>
#include <QProgressDialog>
#include <QSaveFile>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <memory>

namespace {
const QString PngFilter = QStringLiteral("PNG image (*.png)");
const QString PdfFilter = QStringLiteral("PDF document (*.pdf)");
const QString CsvFilter = QStringLiteral("CSV data (*.csv)");

// Why a file cannot be written there, as the system tells it.
QString whyNotWritable(const QString &path)
{
    const QFileInfo info(path);
    const bool existed = info.exists();
    QFile probe(path);
    if (!probe.open(QIODevice::WriteOnly | QIODevice::Append))
        return probe.errorString();
    probe.close();
    if (!existed)
        probe.remove();
    return QStringLiteral("The file could not be written.");
}

QAction *action(QWidget *window, const QString &text, const QString &name, const QKeySequence &keys = {})
{
    auto *a = new QAction(text, window);
    a->setObjectName(name);
    a->setShortcut(keys);
    a->setShortcutContext(Qt::WindowShortcut);
    window->addAction(a); // the keys work wherever the focus is in the window
    return a;
}
} // namespace

GraphExport::GraphExport(TraceGraph *graph, QWidget *window)
    : m_graph(graph)
    , m_window(window)
    , m_saveImage(action(window, QStringLiteral("Save as &image..."), QStringLiteral("mSaveImage")))
    , m_saveCsv(action(window, QStringLiteral("Save data as &CSV..."), QStringLiteral("mSaveCsv")))
    , m_saveHistory(action(window, QStringLiteral("Save &history as CSV..."), QStringLiteral("mSaveHistory")))
    , m_printColours(action(window, QStringLiteral("Images in &print colours"), QStringLiteral("mPrintColours")))
{
    m_printColours->setCheckable(true);
    m_printColours->setChecked(true);
    QObject::connect(m_saveImage, &QAction::triggered, window, [this] {
        const QString path = SaveFile::ask(m_window, QStringLiteral("Save as image"), QStringLiteral("graph"),
                                           {PngFilter, PdfFilter});
        if (!path.isEmpty())
            saveImage(path);
    });
    m_saveHistory->setEnabled(false); // until the window is given the archive's trends
    QObject::connect(m_saveHistory, &QAction::triggered, window, [this] { askHistoryCsv(); });
    QObject::connect(m_saveCsv, &QAction::triggered, window, [this] {
        const QString path = SaveFile::ask(m_window, QStringLiteral("Save data as CSV"), QStringLiteral("graph"),
                                           {CsvFilter});
        if (!path.isEmpty())
            saveCsv(path);
    });

    struct View
    {
        const char *text, *name;
        QKeySequence keys;
        std::function<void()> act;
    };
    const View views[] = {
        {"Zoom &in", "mZoomIn", QKeySequence::ZoomIn, [graph] { graph->zoomTime(0.5); }},
        {"Zoom &out", "mZoomOut", QKeySequence::ZoomOut, [graph] { graph->zoomTime(2.0); }},
        {"Pan &left", "mPanLeft", QKeySequence(Qt::CTRL | Qt::Key_Left), [graph] { graph->panTime(-0.25); }},
        {"Pan &right", "mPanRight", QKeySequence(Qt::CTRL | Qt::Key_Right), [graph] { graph->panTime(0.25); }},
        {"&Follow the newest", "mFollow", QKeySequence(Qt::CTRL | Qt::Key_0), [graph] { graph->followNewest(); }},
    };
    for (const View &v : views) {
        QAction *a = action(window, QString::fromLatin1(v.text), QString::fromLatin1(v.name), v.keys);
        QObject::connect(a, &QAction::triggered, window, v.act);
        m_view << a;
    }

    // The plot's own right-click menu: every action, the view's first.
    auto *separator = new QAction(window);
    separator->setSeparator(true);
    auto *separator2 = new QAction(window);
    separator2->setSeparator(true);
    graph->addActions(m_view);
    graph->addActions({separator, m_saveImage, m_saveCsv, m_saveHistory, separator2, m_printColours});
    graph->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void GraphExport::addSaveActions(QMenu *menu) const
{
    menu->addAction(m_saveImage);
    menu->addAction(m_saveCsv);
    menu->addAction(m_saveHistory);
    menu->addAction(m_printColours);
}

bool GraphExport::saveImage(const QString &path)
{
    if (GraphSheet::save(*m_graph, path, {m_window->windowTitle(), m_printColours->isChecked()}))
        return true;
    SaveFile::refuse(m_window, QStringLiteral("image"), path, whyNotWritable(path));
    return false;
}

bool GraphExport::saveCsv(const QString &path)
{
    // The rendering and the writing go on a thread of their own: a day of a
    // dozen traces is tens of megabytes, and the windows go on meanwhile.
    auto table = std::make_shared<TraceCsv::Table>(TraceCsv::snapshot(*m_graph));
    QString error;
    const HistoryCsv::Outcome outcome = inBackground([table, path](const Progress &progress, QString *why) {
        const QByteArray bytes = TraceCsv::render(*table, progress);
        if (bytes.isEmpty())
            return HistoryCsv::Outcome::Cancelled;
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
            *why = file.errorString();
            return HistoryCsv::Outcome::Failed;
        }
        return HistoryCsv::Outcome::Written;
    }, &error);
    if (outcome == HistoryCsv::Outcome::Failed)
        SaveFile::refuse(m_window, QStringLiteral("data"), path, error);
    return outcome == HistoryCsv::Outcome::Written;
}

bool GraphExport::saveHistoryCsv(const QString &path, qint64 fromMs, qint64 toMs)
{
    if (!m_trends || toMs <= fromMs)
        return false;
    // Only the keys and headers are taken here; the samples are read on the worker, a block at a time.
    QList<HistoryCsv::Column> columns;
    for (int k = 0; k < m_graph->traceCount(); ++k) {
        const QString unit = m_graph->traceUnit(k), label = m_graph->traceLabel(k);
        columns.append({m_graph->traceKey(k), unit.isEmpty() ? label : label + QStringLiteral(" [") + unit + u']'});
    }
    const TrendTable *trends = m_trends;
    QString error;
    const HistoryCsv::Outcome outcome = inBackground(
        [trends, columns, fromMs, toMs, path](const Progress &progress, QString *why) {
            return HistoryCsv::write(*trends, columns, fromMs, toMs, path, progress, why);
        },
        &error);
    if (outcome == HistoryCsv::Outcome::Failed)
        SaveFile::refuse(m_window, QStringLiteral("data"), path, error);
    return outcome == HistoryCsv::Outcome::Written;
}

HistoryCsv::Outcome GraphExport::inBackground(const Job &job, QString *error)
{
    struct State
    {
        std::atomic<int> percent{0};
        std::atomic<bool> cancel{false};
        HistoryCsv::Outcome outcome = HistoryCsv::Outcome::Failed;
        QString error;
    };
    auto state = std::make_shared<State>();
    std::unique_ptr<QThread> worker(QThread::create([state, job] {
        state->outcome = job(
            [&state](int percent) {
                state->percent = percent;
                return !state->cancel;
            },
            &state->error);
    }));

    QProgressDialog progress(QStringLiteral("Saving the data..."), QStringLiteral("Cancel"), 0, 100, m_window);
    progress.setObjectName(QStringLiteral("csvProgress"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300); // a small file is written before the dialog would show
    QObject::connect(&progress, &QProgressDialog::canceled, [state] { state->cancel = true; });
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] { progress.setValue(state->percent); });
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    poll.start(50);
    loop.exec();
    poll.stop();
    worker->wait();
    progress.reset();
    *error = state->error;
    return state->cancel ? HistoryCsv::Outcome::Cancelled : state->outcome;
}

bool GraphExport::askHistoryCsv()
{
    // The period: the last day unless the operator says otherwise.
    QDialog ask(m_window);
    ask.setObjectName(QStringLiteral("historyRange"));
    ask.setWindowTitle(QStringLiteral("Save history as CSV"));
    auto *form = new QFormLayout(&ask);
    const QDateTime now = QDateTime::fromMSecsSinceEpoch(m_graph->now());
    auto *from = new QDateTimeEdit(now.addDays(-1), &ask);
    from->setObjectName(QStringLiteral("dtFrom"));
    auto *to = new QDateTimeEdit(now, &ask);
    to->setObjectName(QStringLiteral("dtTo"));
    for (QDateTimeEdit *e : {from, to}) {
        e->setDisplayFormat(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        e->setCalendarPopup(true);
    }
    form->addRow(QStringLiteral("&From:"), from);
    form->addRow(QStringLiteral("&To:"), to);
    form->addRow(new QLabel(QStringLiteral("Every trace of the graph, as the archive kept it."), &ask));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &ask);
    form->addRow(buttons);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &ask, &QDialog::reject);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &ask, [&] {
        if (from->dateTime() < to->dateTime())
            ask.accept();
        else
            MsgBox::show(&ask, QStringLiteral("Attention"), QStringLiteral("The period must begin before it ends."),
                         QMessageBox::Warning);
    });
    if (ask.exec() != QDialog::Accepted)
        return false;
    const QString path = SaveFile::ask(m_window, QStringLiteral("Save history as CSV"), QStringLiteral("history"),
                                       {CsvFilter});
    return !path.isEmpty()
           && saveHistoryCsv(path, from->dateTime().toMSecsSinceEpoch(), to->dateTime().toMSecsSinceEpoch());
}

void GraphExport::setTrends(TrendTable *trends)
{
    m_trends = trends;
    m_saveHistory->setEnabled(trends != nullptr);
}
