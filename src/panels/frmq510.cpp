#include "frmq510.h"

#include "cratevalue.h"
#include "readplan.h"
#include "lib.h"
#include "parameterinfo.h"
#include "thermometer.h"

#include <QFrame>
#include <QLabel>

using namespace PanelKit;

namespace {

// Name and status, beside the pages.
constexpr Column Sides[] = {nameColumn(60), statusColumn(7620)};

// Page 2: wider limit columns, no PDwn.
constexpr Column WideLimitPage[] = {
    setpoint("V1Set", 60, 855, " \"V\"", "V"),
    setpoint("I1Set", 960, 855, "", "A"),
    setpoint("SVMax", 1860, 855, "\"V\"", "V"),
    value("Trip", "Trip", 2760, 855, " \"s\""),
    value("TripInt", "TripInt", 3660, 855, ""),
    value("TripExt", "TripExt", 4560, 855, ""),
    switchColumn("POn", 5460, 675, "Ena", "Dis"),
};

} // namespace

frmQ510::frmQ510(HVPowerSupply &h, QWidget *parent)
    : frmQ510(h, Channels, parent)
{
}

frmQ510::frmQ510(HVPowerSupply &h, int rows, QWidget *parent)
    : TablePanel(h, parent)
{
    // Drawn for twelve rows; fewer rows take the board line up by the height they save.
    const int up = rows == Channels ? 0 : 960;
    const int pageHeight = 3975 - up;
    setContentSize(QSize(px(9630), px(4620 - up)));

    const Table sides{content(), 120, Sides};
    headings(sides);
    const Table main{subFrame(content(), QStringLiteral("frameMain"), twips(1440, 120, 6195, pageHeight)), 0, WideSetPage};
    const Table more{subFrame(content(), QStringLiteral("frameMore"), twips(1380, 120, 6195, pageHeight)), 0, WideLimitPage};
    headings(main);
    headings(more);
    addRows({sides, main, more}, 0, rows);
    addPagePair(main.parent, more.parent);
    setTickOrder({"txtChName", "ledPw", "V0Set", "I0Set", "V1Set", "I1Set", "SVMax", "Trip", "TripInt", "TripExt",
                  "POn", "VMon", "IMon", "lblStatus", "RmpUp", "RmpDwn"});

    auto *temp = new Thermometer(Qt::Vertical, content());
    temp->setGeometry(twips(9000, 120, 555, up ? 3015 : 3915));
    setThermometer(temp);

    plate(content(), twips(60, 4140 - up, 4695, 435), Lib::LightOrange);
    QLabel *caption = plateLabel(content(), QStringLiteral("lblBDStatus"), QStringLiteral("Board Status"),
                                 twips(180, 4260 - up, 1275, 255), Lib::PlateColours);
    BdStatus = plateLabel(content(), QStringLiteral("BdStatus"), QString(), twips(1440, 4200 - up, 3195, 315),
                          Lib::BoardStatusColours);
    BdStatus->setAlignment(Qt::AlignCenter);
    caption->setBuddy(BdStatus); // assistive technology reads the status as labelled by the caption
    caption->setToolTip(ParameterInfo::describe(QStringLiteral("BdStatus"), caption->text()));

    addTabStrip(twips(7440, 4200 - up, 1515, 315));
}

void frmQ510::planBoard(ReadPlan &plan)
{
    plan.paramValue(Slot, QStringLiteral("BdStatus"), std::nullopt,
                    [this](const QVariant &v) { BdStatus->setText(Lib::BdStatusText(crateInt32(v))); });
}
