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

// A Main on a recording fake, and the few steps every shell test repeats.
struct ShellRig
{
    FakeHV *fake = new FakeHV;                                   // owned by main
    std::unique_ptr<Main> main = std::make_unique<Main>(std::unique_ptr<HVPowerSupply>(fake));

    template <typename T = QWidget> T *find(const QString &name) const
    {
        T *w = main->findChild<T *>(name);
        if (!w)
            qWarning("no control named %s", qPrintable(name));
        return w;
    }
    QAction *action(const QString &name) const { return find<QAction>(name); }
    QPushButton *slot(int i) const { return find<QPushButton>(QStringLiteral("bSlot_%1").arg(i)); }
    QTimer *timer() const { return find<QTimer>(QStringLiteral("Timer1")); }

    // "&Connect", then OK on the dialog as it stands.
    frmLogin *connect()
    {
        action(QStringLiteral("mConnect"))->trigger();
        frmLogin *dlg = main->loginDialog();
        QTest::mouseClick(dlg->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
        return dlg;
    }
};
