#pragma once

#include "fakehv.h"
#include "frmlogin.h"
#include "main_window.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>

// A Main on a recording fake, and the steps every shell test repeats.
struct ShellRig
{
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
