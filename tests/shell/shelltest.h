#pragma once

#include "boardpanel.h"
#include "fakehv.h"
#include "frmevents.h"
#include "frmlogin.h"
#include "main_window.h"
#include "windowtag.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTest>
#include <QTimer>
#include <memory>

// Clicks the slot's button and waits for the panel it opens, whose refresh timer is then
// stopped unless asked to run, so that the test ticks it.
inline BoardPanel *openSlot(Main &main, int slot, bool stopTimer = true)
{
    main.bSlotClick(slot);
    BoardPanel *panel = nullptr;
    (void)QTest::qWaitFor([&] { return (panel = qobject_cast<BoardPanel *>(findWindowByTag(QStringLiteral("Mon%1").arg(slot)))); }, 5000);
    if (panel && stopTimer)
        panel->findChild<QTimer *>(QStringLiteral("ChMon"))->stop();
    return panel;
}

// A column of the Events window's listed rows, newest first.
inline QStringList column(frmEvents *w, int c)
{
    return collect(w->listed()->rowCount(), [&](int r) { return w->listed()->index(r, c).data().toString(); });
}

// A Main on a recording fake, and the steps every shell test repeats.
struct ShellRig
{
    ShellRig() = default;
    // With the shift log and trends in the archive, which must outlive the rig.
    explicit ShellRig(Archive *archive) : main(std::make_unique<Main>(std::unique_ptr<HVPowerSupply>(fake), archive)) {}
    // On a fake of the test's own kind.
    explicit ShellRig(FakeHV *crate) : fake(crate), main(std::make_unique<Main>(std::unique_ptr<HVPowerSupply>(crate))) {}

    FakeHV *fake = new FakeHV; // owned by main
    std::unique_ptr<Main> main = std::make_unique<Main>(std::unique_ptr<HVPowerSupply>(fake));

    template <typename T = QWidget> T *find(const QString &name) const { return main->findChild<T *>(name); }
    QAction *action(const QString &name) const { return find<QAction>(name); }
    QPushButton *slot(int i) const { return find<QPushButton>(QStringLiteral("bSlot_%1").arg(i)); }
    bool shown(const QString &name) const { return find(name)->isVisibleTo(main.get()); }
    QTimer *timer() const { return find<QTimer>(QStringLiteral("Timer1")); }

    // "&Connect": the dialog it opens.
    frmLogin *openLogin()
    {
        action(QStringLiteral("mConnect"))->trigger();
        return main->loginDialog();
    }
    // "&Connect", then OK on the dialog as it stands, and the reads after the login answered.
    frmLogin *connect()
    {
        auto *ok = openLogin()->findChild<QPushButton *>(QStringLiteral("cmdOK"));
        QTest::mouseClick(ok, Qt::LeftButton);
        (void)QTest::qWaitFor([ok] { return ok->isEnabled(); }, 5000);
        return main->loginDialog();
    }

    // One poll with its answers applied (over the network they come through the event loop).
    bool poll()
    {
        main->Timer1Tick();
        return QTest::qWaitFor([this] { return !main->pollInFlight(); }, 5000);
    }

    // The disconnected state, in full; an empty text when all is as it should be.
    QString disconnectedFaults() const
    {
        QStringList faults;
        for (int i = 0; i < 16; ++i)
            if (slot(i)->isVisibleTo(main.get()) || slot(i)->isEnabled())
                faults << slot(i)->objectName();
        for (QObject *o : main->findChildren<QObject *>())
            if ((o->objectName().startsWith("led") || o->objectName().startsWith("sw")) && o->property("value").toBool())
                faults << o->objectName();
        if (shown("lblSysModel") || !find<QLabel>("lblFWRel")->text().isEmpty())
            faults << "labels";
        if (timer()->isActive() || main->isConnected())
            faults << "poll";
        if (!action("mConnect")->isEnabled() || action("mDisconnect")->isEnabled() || !action("mExit")->isEnabled()
            || action("mGraph")->isEnabled())
            faults << "menus";
        return faults.join(' ');
    }
};
