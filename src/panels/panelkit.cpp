#include "panelkit.h"

#include "clicklabel.h"
#include "fontscale.h"
#include "compactswitch.h"
#include "lamp.h"
#include "namefield.h"
#include "numfield.h"
#include "parameterinfo.h"
#include "readoutlabel.h"
#include "twoposswitch.h"

#include <QFontMetricsF>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <algorithm>

namespace PanelKit {

namespace {
// Background and text of a pair: a system colour as the palette role it stands
// for, so that it follows the palette; a fixed colour as itself.
void paint(QWidget *w, const Lib::ColourPair &colours)
{
    QPalette pal = w->palette();
    if (const auto role = Lib::paletteRole(colours.back))
        w->setBackgroundRole(*role);
    else
        pal.setColor(w->backgroundRole(), Lib::toQColor(colours.back));
    if (const auto role = Lib::paletteRole(colours.fore))
        w->setForegroundRole(*role);
    else
        pal.setColor(w->foregroundRole(), Lib::toQColor(colours.fore));
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

} // namespace

double fontScale(const QFont &font)
{
    return FontScale::of(font);
}

QString element(const QString &name, int index)
{
    return name + QLatin1Char('_') + QString::number(index);
}

QLabel *heading(QWidget *parent, const QString &text, const QRect &r)
{
    auto *l = new QLabel(text, parent);
    l->setGeometry(r);
    l->setAlignment(Qt::AlignCenter);
    paint(l, Lib::HeadingColours);
    return l;
}

ClickLabel *clickHeading(QWidget *parent, const QString &name, const QString &text, const QRect &r)
{
    auto *l = new ClickLabel(text, parent);
    l->setObjectName(name);
    l->setGeometry(r);
    l->setAlignment(Qt::AlignCenter);
    paint(l, Lib::ClickHeadingColours);
    l->setToolTip(ParameterInfo::describe(text)
                  + QObject::tr("\nClick it, or press Enter on it, to plot %1 of every channel of this group.").arg(text));
    return l;
}

QLabel *plateLabel(QWidget *parent, const QString &name, const QString &text, const QRect &r,
                   const Lib::ColourPair &colours)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setGeometry(r);
    l->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    paint(l, colours);
    return l;
}

QFrame *plate(QWidget *parent, const QRect &r, Lib::OleColor back)
{
    auto *f = new QFrame(parent);
    f->setGeometry(r);
    paint(f, {back, Lib::Black});
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

NameField *nameField(QWidget *parent, int index, const QRect &r)
{
    auto *e = new NameField(QStringLiteral("Text1"), parent);
    e->setObjectName(element(QStringLiteral("txtChName"), index));
    e->setGeometry(r);
    return e;
}

QLabel *statusLabel(QWidget *parent, int index, const QRect &r)
{
    auto *l = new ReadoutLabel(parent);
    l->setObjectName(element(QStringLiteral("lblStatus"), index));
    l->setGeometry(r);
    l->setAlignment(Qt::AlignCenter);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    setStatusColours(l, Lib::toQColor(Lib::StatusNormalColours.back), Lib::toQColor(Lib::StatusNormalColours.fore));
    l->setAutoFillBackground(true);
    return l;
}

void setStatusColours(QLabel *label, const QColor &back, const QColor &fore)
{
    const QPalette &cur = label->palette();
    if (cur.color(QPalette::Window) == back && cur.color(QPalette::WindowText) == fore)
        return; // unchanged: no repaint
    QPalette pal = cur;
    pal.setColor(QPalette::Window, back);
    pal.setColor(QPalette::WindowText, fore);
    label->setPalette(pal);
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
        QLabel *l = c.click ? clickHeading(t.parent, QString(), text, r) : heading(t.parent, text, r);
        if (!c.click) // what the column is and its unit
            l->setToolTip(ParameterInfo::describe(*c.par ? QString::fromLatin1(c.par) : text, text));
        out << l;
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
