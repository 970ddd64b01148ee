#include "graphexport.h"

#include "msgbox.h"
#include "tracecsv.h"
#include "tracegraph.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSaveFile>

namespace {
const QString PngFilter = QStringLiteral("PNG image (*.png)");
const QString PdfFilter = QStringLiteral("PDF document (*.pdf)");
const QString CsvFilter = QStringLiteral("CSV data (*.csv)");

// A file name the operator can keep as it is: graph-20260314-135800.<suffix> in the home folder.
QString suggestedPath(const QString &suffix)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    return QDir::home().filePath(QStringLiteral("graph-%1.%2").arg(stamp, suffix));
}

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
        QString filter = PngFilter;
        QString path = QFileDialog::getSaveFileName(m_window, QStringLiteral("Save as image"),
                                                    suggestedPath(QStringLiteral("png")),
                                                    PngFilter + QStringLiteral(";;") + PdfFilter, &filter);
        if (path.isEmpty())
            return;
        if (QFileInfo(path).suffix().isEmpty())
            path += filter == PdfFilter ? QStringLiteral(".pdf") : QStringLiteral(".png");
        saveImage(path);
    });
    QObject::connect(m_saveCsv, &QAction::triggered, window, [this] {
        QString path = QFileDialog::getSaveFileName(m_window, QStringLiteral("Save data as CSV"),
                                                    suggestedPath(QStringLiteral("csv")), CsvFilter);
        if (path.isEmpty())
            return;
        if (QFileInfo(path).suffix().isEmpty())
            path += QStringLiteral(".csv");
        saveCsv(path);
    });
    graph->addActions({m_saveImage, m_saveCsv});
    graph->setContextMenuPolicy(Qt::ActionsContextMenu);
}

bool GraphExport::saveImage(const QString &path)
{
    if (m_graph->saveImage(path))
        return true;
    refuse(QStringLiteral("image"), path, whyNotWritable(path));
    return false;
}

bool GraphExport::saveCsv(const QString &path)
{
    // Written to a temporary file and renamed at the end: a failure leaves no half file behind.
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(TraceCsv::render(*m_graph)) >= 0 && file.commit())
        return true;
    refuse(QStringLiteral("data"), path, file.errorString());
    return false;
}

void GraphExport::refuse(const QString &what, const QString &path, const QString &why)
{
    MsgBox::show(m_window, QStringLiteral("Attention"),
                 QStringLiteral("The %1 could not be saved to %2.\n%3").arg(what, QDir::toNativeSeparators(path), why),
                 QMessageBox::Warning);
}
