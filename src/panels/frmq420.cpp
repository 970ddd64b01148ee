#include "frmq420.h"

#include "cratevalue.h"
#include "readplan.h"
#include "numfield.h"
#include "parameterinfo.h"
#include "thermometer.h"

#include <QFrame>
#include <QLabel>

using namespace PanelKit;

namespace {

// Name and status, beside the pages.
constexpr Column Sides[] = {nameColumn(60), statusColumn(7620)};

} // namespace

frmQ420::frmQ420(HVPowerSupply &h, QWidget *parent)
    : TablePanel(h, parent)
{
    setContentSize(QSize(px(9630), px(4560)));
    const Table sides{content(), 120, Sides};
    headings(sides);
    const Table main{subFrame(content(), QStringLiteral("frameMain"), twips(1440, 120, 6195, 3915)), 0, WideSetPage};
    const Table more{subFrame(content(), QStringLiteral("frameMore"), twips(1440, 120, 6195, 3915)), 0, LimitPage};
    headings(main);
    headings(more);
    addRows({sides, main, more}, 0, Channels);
    addPagePair(main.parent, more.parent);
    setTickOrder({"txtChName", "ledPw", "V0Set", "I0Set", "V1Set", "I1Set", "SVMax", "Trip", "TripInt", "TripExt",
                  "POn", "PDwn", "VMon", "IMon", "lblStatus", "RmpUp", "RmpDwn"});

    auto *temp = new Thermometer(Qt::Vertical, content());
    temp->setGeometry(twips(9000, 120, 555, 3915));
    setThermometer(temp);

    plate(content(), twips(60, 4080, 2835, 435), Lib::LightOrange);
    plateLabel(content(), QStringLiteral("lblHVMax"), QStringLiteral("Board HVMax"), twips(180, 4200, 1275, 255),
               Lib::PlateColours)
        ->setToolTip(ParameterInfo::describe(QStringLiteral("HVMax"), QStringLiteral("Board HVMax")));
    HVMax = numField(content(), QStringLiteral("HVMax"), 0, twips(1560, 4140, 1215, 315), QStringLiteral(" k\"V\""), true);
    HVMax->setObjectName(QStringLiteral("HVMax"));
    HVMax->setAccessibleName(QStringLiteral("Board HVMax"));
    HVMax->setColours(Lib::ReadoutColours);

    addTabStrip(twips(7440, 4140, 1515, 315));
}

void frmQ420::planBoard(ReadPlan &plan)
{
    // Board limit shown as the board gives it: no exponent, no scaling.
    plan.paramValue(Slot, QStringLiteral("HVMax"), std::nullopt,
                    [this](const QVariant &v) { HVMax->setValue(crateNumber(v)); });
}
