#include "frmq510.h"

#include "hvpowersupply.h"
#include "lib.h"
#include "numfield.h"
#include "panelkit.h"
#include "thermometer.h"

#include <QFrame>
#include <QLabel>

using namespace PanelKit;

frmQ510::frmQ510(HVPowerSupply &h, QWidget *parent)
    : frmQ510(h, Channels, parent)
{
}

frmQ510::frmQ510(HVPowerSupply &h, int rows, QWidget *parent)
    : BoardPanel(h, parent)
    , m_rows(rows)
{
    // Drawn for twelve rows; fewer rows take the board line up by the height they save.
    const int up = rows == Channels ? 0 : 960;
    const int pageHeight = 3975 - up;
    resize(px(9630), px(4620 - up));

    heading(this, QStringLiteral("Channel Name"), twips(60, 120, 1335, 255));
    heading(this, QStringLiteral("Status"), twips(7620, 120, 1275, 255));
    QFrame *main = subFrame(this, QStringLiteral("frameMain"), twips(1440, 120, 6195, pageHeight));
    QFrame *more = subFrame(this, QStringLiteral("frameMore"), twips(1380, 120, 6195, pageHeight));

    heading(main, QStringLiteral("Pw"), twips(60, 0, 315, 255));
    heading(main, QStringLiteral("V0Set"), twips(420, 0, 915, 255));
    heading(main, QStringLiteral("VMon"), twips(1380, 0, 915, 255));
    heading(main, QStringLiteral("I0Set"), twips(2340, 0, 915, 255));
    heading(main, QStringLiteral("IMon"), twips(3300, 0, 915, 255));
    heading(main, QStringLiteral("RmpUp"), twips(4260, 0, 915, 255));
    heading(main, QStringLiteral("RmpDwn"), twips(5220, 0, 915, 255));

    heading(more, QStringLiteral("V1Set"), twips(60, 0, 855, 255));
    heading(more, QStringLiteral("I1Set"), twips(960, 0, 855, 255));
    heading(more, QStringLiteral("SVMax"), twips(1860, 0, 855, 255));
    heading(more, QStringLiteral("Trip"), twips(2760, 0, 855, 255));
    heading(more, QStringLiteral("TripInt"), twips(3660, 0, 855, 255));
    heading(more, QStringLiteral("TripExt"), twips(4560, 0, 855, 255));
    heading(more, QStringLiteral("POn"), twips(5460, 0, 675, 255));

    for (qint16 ch = 0; ch < rows; ++ch) {
        const int top = 300 + 300 * ch; // row top inside a page
        const int field = 285;
        txtChName << nameField(this, ch, twips(60, 420 + 300 * ch, 1335, field));
        lblStatus << statusLabel(this, ch, twips(7620, 420 + 300 * ch, 1275, field));

        ledPw << powerLamp(main, ch, twips(90, top + 15, 255, 255));
        V0Set << numField(main, QStringLiteral("V0Set"), ch, twips(420, top, 915, field), QStringLiteral(" k\"V\""), false);
        VMon << numField(main, QStringLiteral("VMon"), ch, twips(1380, top, 915, field), QStringLiteral(" k\"V\""), true);
        I0Set << numField(main, QStringLiteral("I0Set"), ch, twips(2340, top, 915, field), QString(), false);
        IMon << numField(main, QStringLiteral("IMon"), ch, twips(3300, top, 915, field), QStringLiteral(" k\"A\""), true);
        RmpUp << numField(main, QStringLiteral("RmpUp"), ch, twips(4260, top, 915, field), QStringLiteral(". \"V/s\""), false);
        RmpDwn << numField(main, QStringLiteral("RmpDwn"), ch, twips(5220, top, 915, field), QStringLiteral(". \"V/s\""), false);

        V1Set << numField(more, QStringLiteral("V1Set"), ch, twips(60, top, 855, field), QStringLiteral(" \"V\""), false);
        I1Set << numField(more, QStringLiteral("I1Set"), ch, twips(960, top, 855, field), QString(), false);
        SVMax << numField(more, QStringLiteral("SVMax"), ch, twips(1860, top, 855, field), QStringLiteral("\"V\""), false);
        Trip << numField(more, QStringLiteral("Trip"), ch, twips(2760, top, 855, field), QStringLiteral(" \"s\""), false);
        TripInt << numField(more, QStringLiteral("TripInt"), ch, twips(3660, top, 855, field), QString(), false);
        TripExt << numField(more, QStringLiteral("TripExt"), ch, twips(4560, top, 855, field), QString(), false);
        POn << twoPos(more, QStringLiteral("POn"), ch, twips(5460, top, 675, field), QStringLiteral("Ena"), QStringLiteral("Dis"));

        bindName(txtChName.last(), ch);
        bindSwitch(ledPw.last(), QStringLiteral("Pw"), ch);
        bindNumber(V0Set.last(), QStringLiteral("V0Set"), ch);
        bindNumber(I0Set.last(), QStringLiteral("I0Set"), ch);
        bindNumber(RmpUp.last(), QStringLiteral("RUp"), ch);
        bindNumber(RmpDwn.last(), QStringLiteral("RDWn"), ch);
        bindNumber(V1Set.last(), QStringLiteral("V1Set"), ch);
        bindNumber(I1Set.last(), QStringLiteral("I1Set"), ch);
        bindNumber(SVMax.last(), QStringLiteral("SVMax"), ch);
        bindNumber(Trip.last(), QStringLiteral("Trip"), ch);
        bindNumber(TripInt.last(), QStringLiteral("TripInt"), ch);
        bindNumber(TripExt.last(), QStringLiteral("TripExt"), ch);
        bindSwitch(POn.last(), QStringLiteral("POn"), ch);
    }
    addPagePair(main, more);

    auto *temp = new Thermometer(Qt::Vertical, this);
    temp->setGeometry(twips(9000, 120, 555, up ? 3015 : 3915));
    setThermometer(temp);

    plate(this, twips(60, 4140 - up, 4695, 435), Lib::LightOrange);
    plateLabel(this, QStringLiteral("lblBDStatus"), QStringLiteral("Board Status"), twips(180, 4260 - up, 1275, 255),
               Lib::LightOrange, Lib::Black);
    BdStatus = plateLabel(this, QStringLiteral("BdStatus"), QString(), twips(1440, 4200 - up, 3195, 315),
                          Lib::SysInfoBackground, 0x000000C0); // dark red text
    BdStatus->setAlignment(Qt::AlignCenter);

    addTabStrip(twips(7440, 4200 - up, 1515, 315));
}

void frmQ510::refreshBoard()
{
    BdStatus->setText(Lib::BdStatusText(int32(h.ParamValue(Slot, QStringLiteral("BdStatus")))));
}

void frmQ510::refreshChannel(qint16 ch)
{
    refreshName(txtChName[ch], ch);
    refreshLamp(ledPw[ch], QStringLiteral("Pw"), ch);
    refreshSetpoint(V0Set[ch], QStringLiteral("V0Set"), QStringLiteral("V"), ch);
    refreshSetpoint(I0Set[ch], QStringLiteral("I0Set"), QStringLiteral("A"), ch);
    refreshSetpoint(V1Set[ch], QStringLiteral("V1Set"), QStringLiteral("V"), ch);
    refreshSetpoint(I1Set[ch], QStringLiteral("I1Set"), QStringLiteral("A"), ch);
    refreshSetpoint(SVMax[ch], QStringLiteral("SVMax"), QStringLiteral("V"), ch);
    refreshPlain(Trip[ch], QStringLiteral("Trip"), ch);
    refreshPlain(TripInt[ch], QStringLiteral("TripInt"), ch);
    refreshPlain(TripExt[ch], QStringLiteral("TripExt"), ch);
    refreshSwitch(POn[ch], QStringLiteral("POn"), ch);
    refreshScaled(VMon[ch], QStringLiteral("VMon"), ch);
    refreshScaled(IMon[ch], QStringLiteral("IMon"), ch);
    refreshStatus(lblStatus[ch], ch);
    refreshPlain(RmpUp[ch], QStringLiteral("RUp"), ch);
    refreshPlain(RmpDwn[ch], QStringLiteral("RDWn"), ch);
}
