#include "screenfit.h"
#include "shots.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTest>
#include <QWidget>
#include <cstdio>
#include <map>

namespace {
std::map<QString, Shots::Producer> &producers()
{
    static std::map<QString, Shots::Producer> all; // by name, filled before main runs
    return all;
}
QString g_outDir; // where save() writes
} // namespace

Shots::Registrar::Registrar(const QString &name, Producer producer)
{
    producers().emplace(name, std::move(producer));
}

void Shots::save(QWidget *window, const QString &file)
{
    window->show();
    QTest::qWait(50);
    const QString path = QDir(g_outDir).filePath(file + QStringLiteral(".png"));
    window->grab().save(path);
    std::printf("wrote %s\n", qPrintable(path));
}

// Usage: pylonet-screenshots <outdir> [name...]; no names renders everything.
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // Windows as on a full-HD desktop, not squeezed into the offscreen platform's small screen.
    ScreenFit::setAreaSource([](const QWidget *) { return QRect(0, 0, 1920, 1080); });
    const QStringList args = app.arguments().mid(1);
    g_outDir = args.value(0, QStringLiteral("docs/img"));
    QDir().mkpath(g_outDir);
    const QStringList only = args.mid(1);
    for (auto &[name, produce] : producers())
        if (only.isEmpty() || only.contains(name))
            produce();
    return 0;
}
