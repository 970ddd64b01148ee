#include "panelkit.h"

#include "clicklabel.h"
#include "compactswitch.h"
#include "lamp.h"
#include "numfield.h"
#include "twoposswitch.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace PanelKit {

namespace {
void paint(QWidget *w, Lib::OleColor back, Lib::OleColor fore)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, Lib::toQColor(back));
    pal.setColor(QPalette::WindowText, Lib::toQColor(fore));
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}
} // namespace

QString element(const QString &name, int index)
{
    return name + QLatin1Char('_') + QString::number(index);
}

QLabel *heading(QWidget *parent, const QString &text, const QRect &r, Lib::OleColor back)
{
    auto *l = new QLabel(text, parent);
    l->setGeometry(r);
    l->setAlignment(Qt::AlignCenter);
    paint(l, back, Lib::SysHighlight);
    return l;
}

ClickLabel *clickHeading(QWidget *parent, const QString &name, const QString &text, const QRect &r)
{
    auto *l = new ClickLabel(text, parent);
    l->setObjectName(name);
    l->setGeometry(r);
    l->setAlignment(Qt::AlignCenter);
    paint(l, Lib::LightOrange, Lib::SysHighlight);
    l->setToolTip(QObject::tr("Click to plot %1 of every channel of this group").arg(text));
    return l;
}

QLabel *plateLabel(QWidget *parent, const QString &name, const QString &text, const QRect &r,
                   Lib::OleColor back, Lib::OleColor fore)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setGeometry(r);
    l->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    paint(l, back, fore);
    return l;
}

QFrame *plate(QWidget *parent, const QRect &r, Lib::OleColor back)
{
    auto *f = new QFrame(parent);
    f->setGeometry(r);
    paint(f, back, Lib::Black);
    return f;
}

QGroupBox *groupFrame(QWidget *parent, const QString &name, const QString &caption, const QRect &r)
{
    auto *g = new QGroupBox(caption, parent);
    g->setObjectName(name);
    g->setGeometry(r);
    return g;
}

QFrame *subFrame(QWidget *parent, const QString &name, const QRect &r)
{
    auto *f = new QFrame(parent);
    f->setObjectName(name);
    f->setFrameShape(QFrame::NoFrame);
    f->setGeometry(r);
    return f;
}

QLineEdit *nameField(QWidget *parent, int index, const QRect &r)
{
    auto *e = new QLineEdit(QStringLiteral("Text1"), parent);
    e->setObjectName(element(QStringLiteral("txtChName"), index));
    e->setGeometry(r);
    return e;
}

QLabel *statusLabel(QWidget *parent, int index, const QRect &r)
{
    auto *l = new QLabel(parent);
    l->setObjectName(element(QStringLiteral("lblStatus"), index));
    l->setGeometry(r);
    l->setAlignment(Qt::AlignCenter);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    paint(l, Lib::SysButtonFace, Lib::Black);
    return l;
}

Lamp *powerLamp(QWidget *parent, int index, const QRect &r)
{
    auto *lamp = new Lamp(parent);
    lamp->setObjectName(element(QStringLiteral("ledPw"), index));
    lamp->setGeometry(r);
    lamp->setOnColor(QColor(255, 0, 0));
    lamp->setOffColor(QColor(128, 0, 0));
    lamp->setSwitchable(true);
    return lamp;
}

TwoPosSwitch *twoPos(QWidget *parent, const QString &name, int index, const QRect &r,
                     const QString &onLabel, const QString &offLabel)
{
    auto *s = new CompactSwitch(onLabel, offLabel, parent);
    s->setObjectName(element(name, index));
    s->setGeometry(r);
    return s;
}

QList<QLabel *> headings(const Table &t)
{
    QList<QLabel *> out;
    for (const Column &c : t.columns) {
        const QRect r = twips(c.left, t.top, c.width, HeadingHeight);
        const QString text = QString::fromLatin1(c.heading);
        out << (c.click ? clickHeading(t.parent, QString(), text, r) : heading(t.parent, text, r));
    }
    return out;
}

NumField *numField(QWidget *parent, const QString &name, int index, const QRect &r,
                   const QString &format, bool indicator)
{
    auto *f = new NumField(parent);
    f->setObjectName(element(name, index));
    f->setGeometry(r);
    f->setFormat(format);
    f->setIndicator(indicator);
    return f;
}

} // namespace PanelKit
