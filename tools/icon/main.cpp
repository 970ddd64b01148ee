// Renders the application icon, which is drawn in code, to the PNG files the
// desktop expects: <outdir>/<side>x<side>/apps/pylonet.png for each size given
// (the hicolor sizes the package installs). Runs at build time, offscreen.
#include "appinfo.h"

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <cstdio>

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
    return 0;
}
