#include "workspace.h"

#include "appinfo.h"
#include "boardpanel.h"
#include "frmgraph.h"
#include "frmq310graph.h"
#include "main_window.h"
#include "windowmenu.h"
#include "windowtag.h"

#include <QApplication>
#include <QSettings>

namespace {
const QString Group = QStringLiteral("Pylonet/Workspace");

QSettings store()
{
    return QSettings(AppInfo::organisation(), QStringLiteral("Pylonet"));
}
} // namespace

void Workspace::capture(const QString &crate)
{
    m_crate = crate;
    m_windows.clear();
    for (QWidget *w : WindowMenu::openWindows(&m_main)) {
        if (auto *graph = qobject_cast<frmGraph *>(w))
            m_windows.append({QStringLiteral("graph"), QString(), w->saveGeometry(), graph->state()});
        else if (auto *board = qobject_cast<frmQ310Graph *>(w))
            m_windows.append({QStringLiteral("boardgraph"), windowTag(w), w->saveGeometry(), board->state()});
        else if (qobject_cast<BoardPanel *>(w))
            m_windows.append({QStringLiteral("panel"), windowTag(w), w->saveGeometry(), {}});
    }
}

void Workspace::save() const
{
    QSettings s = store();
    s.beginGroup(Group);
    s.setValue(QStringLiteral("Crate"), m_crate);
    s.remove(QStringLiteral("Windows"));
    s.beginWriteArray(QStringLiteral("Windows"), int(m_windows.size()));
    for (int i = 0; i < m_windows.size(); ++i) {
        s.setArrayIndex(i);
        s.setValue(QStringLiteral("kind"), m_windows[i].kind);
        s.setValue(QStringLiteral("tag"), m_windows[i].tag);
        s.setValue(QStringLiteral("geometry"), m_windows[i].geometry);
        s.setValue(QStringLiteral("state"), m_windows[i].state);
    }
    s.endArray();
}

void Workspace::load()
{
    QSettings s = store();
    s.beginGroup(Group);
    m_crate = s.value(QStringLiteral("Crate")).toString();
    m_windows.clear();
    const int n = s.beginReadArray(QStringLiteral("Windows"));
    for (int i = 0; i < n; ++i) {
        s.setArrayIndex(i);
        m_windows.append({s.value(QStringLiteral("kind")).toString(), s.value(QStringLiteral("tag")).toString(),
                          s.value(QStringLiteral("geometry")).toByteArray(), s.value(QStringLiteral("state")).toMap()});
    }
    s.endArray();
}

int Workspace::reopen()
{
    int asked = 0;
    for (const Window &w : std::as_const(m_windows)) {
        if (!w.tag.isEmpty() && raiseWindowByTag(w.tag))
            continue; // already open: nothing to add
        if (w.kind == QLatin1String("graph")) {
            frmGraph *graph = m_main.openGraphWindow();
            graph->restoreGeometry(w.geometry);
            graph->restoreState(w.state);
        } else if (w.kind == QLatin1String("boardgraph")) {
            const QStringList f = w.tag.split(QLatin1Char('#'));
            if (f.size() != 4 || f[0] != QLatin1String("Graph"))
                continue; // not a tag this program writes
            frmQ310Graph *board = m_main.openBoardGraph(qint16(f[1].toInt()), qint16(f[2].toInt()), f[3]);
            board->restoreGeometry(w.geometry);
            board->restoreState(w.state);
        } else if (w.kind == QLatin1String("panel") && w.tag.startsWith(QLatin1String("Mon"))) {
            m_main.openPanel(w.tag.mid(3).toInt(), w.geometry);
        } else {
            continue;
        }
        ++asked;
    }
    return asked;
}

void Workspace::saveMainGeometry(const QByteArray &geometry)
{
    QSettings s = store();
    s.setValue(Group + QStringLiteral("/MainGeometry"), geometry);
}

QByteArray Workspace::mainGeometry()
{
    return store().value(Group + QStringLiteral("/MainGeometry")).toByteArray();
}
