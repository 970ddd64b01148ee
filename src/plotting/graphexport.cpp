#include "graphexport.h"

#include "graphsheet.h"
#include "savefile.h"
#include "tracecsv.h"
#include "tracegraph.h"

#include <QAction>
#include <QApplication>
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
    graph->addActions({separator, m_saveImage, m_saveCsv, separator2, m_printColours});
    graph->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void GraphExport::addSaveActions(QMenu *menu) const
{
    menu->addAction(m_saveImage);
    menu->addAction(m_saveCsv);
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
    struct Job
    {
        TraceCsv::Table table;
        std::atomic<int> percent{0};
        std::atomic<bool> cancel{false};
        bool cancelled = false;
        QString error; // why the file could not be written
    };
    auto job = std::make_shared<Job>();
    job->table = TraceCsv::snapshot(*m_graph);
    std::unique_ptr<QThread> worker(QThread::create([job, path] {
        const QByteArray bytes = TraceCsv::render(job->table, [&job](int percent) {
            job->percent = percent;
            return !job->cancel;
        });
        if (job->cancel) {
            job->cancelled = true;
            return;
        }
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
            job->error = file.errorString();
    }));

    QProgressDialog progress(QStringLiteral("Saving the data..."), QStringLiteral("Cancel"), 0, 100, m_window);
    progress.setObjectName(QStringLiteral("csvProgress"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300); // a small file is written before the dialog would show
    QObject::connect(&progress, &QProgressDialog::canceled, [job] { job->cancel = true; });
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] { progress.setValue(job->percent); });
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    poll.start(50);
    loop.exec();
    poll.stop();
    worker->wait();
    progress.reset();
    if (job->cancelled)
        return false;
    if (!job->error.isEmpty()) {
        SaveFile::refuse(m_window, QStringLiteral("data"), path, job->error);
        return false;
    }
    return true;
}
