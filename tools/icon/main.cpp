// Renders the application icon, which is drawn in code, to the files the
// desktop expects: <outdir>/<side>x<side>/apps/pylonet.png for each size given
// (the hicolor sizes the package installs) and <outdir>/scalable/apps/pylonet.svg,
// the same drawing as SVG. Runs at build time, offscreen.
#include "appinfo.h"

#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QSvgGenerator>
#include <cstdio>

namespace {
bool writeSvg(const QDir &out)
{
    constexpr int Side = 256; // the drawing's own units; the desktop scales it
    if (!out.mkpath(QStringLiteral("scalable/apps")))
        return false;
    QSvgGenerator svg;
    svg.setFileName(out.filePath(QStringLiteral("scalable/apps/pylonet.svg")));
    svg.setSize(QSize(Side, Side));
    svg.setViewBox(QRect(0, 0, Side, Side));
    svg.setTitle(AppInfo::title());
    svg.setDescription(AppInfo::description());
    QPainter p;
    if (!p.begin(&svg))
        return false;
    AppInfo::paintIcon(p, Side);
    return p.end();
}
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: pylonet-icon OUTDIR SIDE...\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    for (int i = 2; i < argc; ++i) {
        const int side = QByteArray(argv[i]).toInt();
        const QString folder = QStringLiteral("%1x%1/apps").arg(side);
        const QString path = out.filePath(folder + QStringLiteral("/pylonet.png"));
        if (!out.mkpath(folder) || !AppInfo::iconPixmap(side).save(path)) {
            std::fprintf(stderr, "pylonet-icon: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    if (!writeSvg(out)) {
        std::fprintf(stderr, "pylonet-icon: cannot write the scalable icon in %s\n", argv[1]);
        return 1;
    }
    return 0;
}
