#include "graphexport.h"

#include "savefile.h"
#include "tracecsv.h"
#include "tracegraph.h"

#include <QAction>
#include <QFileInfo>

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
} // namespace

GraphExport::GraphExport(TraceGraph *graph, QWidget *window)
    : m_graph(graph)
    , m_window(window)
    , m_saveImage(new QAction(QStringLiteral("Save as &image..."), window))
    , m_saveCsv(new QAction(QStringLiteral("Save data as &CSV..."), window))
{
    m_saveImage->setObjectName(QStringLiteral("mSaveImage"));
    m_saveCsv->setObjectName(QStringLiteral("mSaveCsv"));
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
    graph->addActions({m_saveImage, m_saveCsv});
    graph->setContextMenuPolicy(Qt::ActionsContextMenu);
}

bool GraphExport::saveImage(const QString &path)
{
    if (m_graph->saveImage(path))
        return true;
    SaveFile::refuse(m_window, QStringLiteral("image"), path, whyNotWritable(path));
    return false;
}

bool GraphExport::saveCsv(const QString &path)
{
    return SaveFile::write(m_window, QStringLiteral("data"), path, TraceCsv::render(*m_graph));
}
