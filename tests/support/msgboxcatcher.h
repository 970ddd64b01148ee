#pragma once

#include "fakehv.h"
#include "msgbox.h"

#include <QList>
#include <QStringList>

// Collects every message box shown while it lives, answering each with OK.
class MsgBoxCatcher
{
public:
    struct Shown
    {
        QString title;
        QString text;
        QMessageBox::Icon icon;
        QString detail; // the reason shown under the text
    };

    MsgBoxCatcher()
    {
        MsgBox::setInterceptor([this](const QString &t, const QString &x, QMessageBox::Icon i, const QString &d) {
            shown.append({t, x, i, d});
        });
    }
    ~MsgBoxCatcher() { MsgBox::setInterceptor({}); }
    MsgBoxCatcher(const MsgBoxCatcher &) = delete;
    MsgBoxCatcher &operator=(const MsgBoxCatcher &) = delete;

    // Each box as "title|text", in the order shown.
    QStringList said() const
    {
        return collect(shown.size(), [this](int i) { return shown[i].title + QLatin1Char('|') + shown[i].text; });
    }

    QList<Shown> shown; // in the order they were shown
};
