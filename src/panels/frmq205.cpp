#include "frmq205.h"

#include "thermometer.h"

#include <QGroupBox>

using namespace PanelKit;

namespace {

constexpr Column HighVoltage[] = {nameColumn(120), powerColumn(1500), statusColumn(1860)};
constexpr Column LowVoltage[] = {nameColumn(120), powerColumn(1500)}; // no status

// The remote board's fields count from its first channel; its status labels
// follow the two of the high-voltage channels.
constexpr int R = frmQ205::FirstRemote;
constexpr Column Remote[] = {
    nameColumn(120),
    powerColumn(1500),
    setpoint("V0Set", 1860, 735, " k\"V\"", "V").shifted(R),
    monitor("VMon", 2640, 735, " k\"V\"").shifted(R),
    setpoint("I0Set", 3420, 735, "", "A").shifted(R),
    monitor("IMon", 4200, 735, " k\"A\"").shifted(R),
    value("RmpUp", "RUp", 4980, 915, ". \"V/s\"").shifted(R),
    value("RmpDwn", "RDWn", 5940, 915, ". \"V/s\"").shifted(R),
    setpoint("SVMax", 6900, 735, "\"V\"", "V").shifted(R),
    statusColumn(7680).shifted(1),
};

} // namespace

frmQ205::frmQ205(HVPowerSupply &h, QWidget *parent)
    : TablePanel(h, parent)
{
    // A fixed dialog-like frame: no minimise, no maximise, no resizing.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                   | Qt::MSWindowsFixedSizeDialogHint);
    setContentSize(QSize(px(9210), px(7605)), true);

    const Table hv{groupFrame(content(), QStringLiteral("frameHV"), QStringLiteral("High Voltage Supply"),
                              twips(60, 120, 3255, 1215)), 240, HighVoltage};
    headings(hv);
    const Table lv{groupFrame(content(), QStringLiteral("frameLV"), QStringLiteral("Low Voltage Supply"),
                              twips(3420, 120, 1935, 1215)), 240, LowVoltage};
    headings(lv);

    auto *temp = new Thermometer(Qt::Horizontal, content());
    temp->setGeometry(twips(5460, 180, 3675, 915));
    setThermometer(temp);

    const Table remote{groupFrame(content(), QStringLiteral("frameRemote"), QStringLiteral("Q206 Remote Board"),
                                  twips(60, 1440, 9075, 6075)), 300, Remote};
    headings(remote);

    addRows({hv}, 0, 2);
    addRows({lv}, 2, 1);
    addRows({remote}, FirstRemote, Channels - FirstRemote);
    setTickOrder({"txtChName", "ledPw", "lblStatus", "V0Set", "I0Set", "SVMax", "VMon", "IMon", "RmpUp", "RmpDwn"});
}
