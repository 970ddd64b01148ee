#include "frmq310.h"

#include "clicklabel.h"
#include "frmq310graph.h"
#include "thermometer.h"

#include <QFrame>
#include <QGroupBox>

using namespace PanelKit;

namespace {

// Name and status, beside the pages, in the group's frame.
constexpr Column Sides[] = {nameColumn(120), statusColumn(7680)};

// Page 1: the monitor headings open the group's board graph.
constexpr Column SetPage[] = {
    powerColumn(0),
    setpoint("V0Set", 360, 735, " k\"V\"", "V"),
    monitor("VMon", 1140, 735, " k\"V\"").clickable(),
    monitor("HVMax", 1920, 735, " k\"V\""),
    setpoint("I0Set", 2700, 735, "", "A"),
    monitor("IMon", 3480, 735, " k\"A\"").clickable(),
    value("RmpUp", "RUp", 4260, 915, ". \"V/s\""),
    value("RmpDwn", "RDWn", 5220, 915, ". \"V/s\""),
};

} // namespace

frmQ310::frmQ310(HVPowerSupply &h, QWidget *parent)
    : TablePanel(h, parent)
{
    setContentSize(QSize(px(9855), px(6000)));
    for (int macro = 0; macro < 2; ++macro)
        buildGroup(macro);
    setTickOrder({"txtChName", "ledPw", "V0Set", "I0Set", "V1Set", "I1Set", "SVMax", "Trip", "TripInt", "TripExt",
                  "POn", "PDwn", "VMon", "IMon", "HVMax", "lblStatus", "RmpUp", "RmpDwn"});

    auto *temp = new Thermometer(Qt::Vertical, content());
    temp->setGeometry(twips(9240, 120, 555, 5415));
    setThermometer(temp);

    addTabStrip(twips(7620, 5640, 1515, 315));
}

void frmQ310::buildGroup(int macro)
{
    const QString m = QString::number(macro);
    QGroupBox *frame = groupFrame(content(), QStringLiteral("Frame%1").arg(macro + 1),
                                  QStringLiteral("Macro Channel %1").arg(macro), twips(60, 60 + 2760 * macro, 9075, 2715));
    const Table sides{frame, 240, Sides};
    headings(sides);

    const Table main{subFrame(frame, QStringLiteral("frameMC%1Main").arg(m), twips(1500, 240, 6195, 2415)), 0, SetPage};
    const Table more{subFrame(frame, QStringLiteral("frameMC%1More").arg(m), twips(1500, 240, 6195, 2415)), 0, LimitPage};
    const auto mc = static_cast<qint16>(macro);
    for (QLabel *l : headings(main)) {
        if (auto *c = qobject_cast<ClickLabel *>(l)) {
            c->setObjectName(QStringLiteral("lbl") + c->text() + m);
            c->setAccessibleName(tr("Plot %1 of Macro Channel %2").arg(c->text(), m));
            connect(c, &ClickLabel::clicked, this, [this, par = c->text(), mc] { OpenBoardGraph(par, mc); });
        }
    }
    headings(more);

    addRows({sides, main, more}, static_cast<qint16>(GroupRows * macro), GroupRows);
    addPagePair(main.parent, more.parent);
}

void frmQ310::OpenBoardGraph(const QString &ParName, qint16 MacroChannel)
{
    frmQ310Graph::open(h, Slot, MacroChannel, ParName, eventLog(), trends());
}
