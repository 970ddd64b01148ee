#include "frmq420.h"

#include "hvpowersupply.h"
#include "numfield.h"
#include "panelkit.h"
#include "thermometer.h"

#include <QFrame>
#include <QLabel>

using namespace PanelKit;

frmQ420::frmQ420(HVPowerSupply &h, QWidget *parent)
    : BoardPanel(h, parent)
{
    resize(px(9630), px(4560));
    heading(this, QStringLiteral("Channel Name"), twips(60, 120, 1335, 255));
    heading(this, QStringLiteral("Status"), twips(7620, 120, 1275, 255));
    QFrame *main = subFrame(this, QStringLiteral("frameMain"), twips(1440, 120, 6195, 3915));
    QFrame *more = subFrame(this, QStringLiteral("frameMore"), twips(1440, 120, 6195, 3915));

    heading(main, QStringLiteral("Pw"), twips(60, 0, 315, 255));
    heading(main, QStringLiteral("V0Set"), twips(420, 0, 915, 255));
    heading(main, QStringLiteral("VMon"), twips(1380, 0, 915, 255));
    heading(main, QStringLiteral("I0Set"), twips(2340, 0, 915, 255));
    heading(main, QStringLiteral("IMon"), twips(3300, 0, 915, 255));
    heading(main, QStringLiteral("RmpUp"), twips(4260, 0, 915, 255));
    heading(main, QStringLiteral("RmpDwn"), twips(5220, 0, 915, 255));

    heading(more, QStringLiteral("V1Set"), twips(0, 0, 735, 255));
    heading(more, QStringLiteral("I1Set"), twips(780, 0, 735, 255));
    heading(more, QStringLiteral("SVMax"), twips(1560, 0, 735, 255));
    heading(more, QStringLiteral("Trip"), twips(2340, 0, 735, 255));
    heading(more, QStringLiteral("TripInt"), twips(3120, 0, 735, 255));
    heading(more, QStringLiteral("TripExt"), twips(3900, 0, 735, 255));
    heading(more, QStringLiteral("POn"), twips(4680, 0, 675, 255));
    heading(more, QStringLiteral("PDwn"), twips(5400, 0, 735, 255));

    for (qint16 ch = 0; ch < Channels; ++ch) {
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

        V1Set << numField(more, QStringLiteral("V1Set"), ch, twips(0, top, 735, field), QStringLiteral(" \"V\""), false);
        I1Set << numField(more, QStringLiteral("I1Set"), ch, twips(780, top, 735, field), QString(), false);
        SVMax << numField(more, QStringLiteral("SVMax"), ch, twips(1560, top, 735, field), QStringLiteral("\"V\""), false);
        Trip << numField(more, QStringLiteral("Trip"), ch, twips(2340, top, 735, field), QStringLiteral(" \"s\""), false);
        TripInt << numField(more, QStringLiteral("TripInt"), ch, twips(3120, top, 735, field), QString(), false);
        TripExt << numField(more, QStringLiteral("TripExt"), ch, twips(3900, top, 735, field), QString(), false);
        POn << twoPos(more, QStringLiteral("POn"), ch, twips(4680, top, 675, field), QStringLiteral("Ena"), QStringLiteral("Dis"));
        PDwn << twoPos(more, QStringLiteral("PDwn"), ch, twips(5400, top, 735, field), QStringLiteral("Rmp"), QStringLiteral("Kill"));

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
        bindSwitch(PDwn.last(), QStringLiteral("PDwn"), ch);
    }
    addPagePair(main, more);

    auto *temp = new Thermometer(Qt::Vertical, this);
    temp->setGeometry(twips(9000, 120, 555, 3915));
    setThermometer(temp);

    plate(this, twips(60, 4080, 2835, 435), Lib::LightOrange);
    plateLabel(this, QStringLiteral("lblHVMax"), QStringLiteral("Board HVMax"), twips(180, 4200, 1275, 255),
               Lib::LightOrange, Lib::Black);
    HVMax = numField(this, QStringLiteral("HVMax"), 0, twips(1560, 4140, 1215, 315), QStringLiteral(" k\"V\""), true);
    HVMax->setObjectName(QStringLiteral("HVMax"));
    QPalette pal = HVMax->palette();
    pal.setColor(QPalette::Base, Lib::toQColor(Lib::SysInfoBackground));
    pal.setColor(QPalette::Button, Lib::toQColor(Lib::SysInfoBackground));
    pal.setColor(QPalette::Text, Lib::toQColor(Lib::SysHighlight));
    HVMax->setPalette(pal);

    addTabStrip(twips(7440, 4140, 1515, 315));
}

void frmQ420::refreshBoard()
{
    // Board limit shown as the board gives it: no exponent, no scaling.
    HVMax->setValue(number(h.ParamValue(Slot, QStringLiteral("HVMax"))));
}

void frmQ420::refreshChannel(qint16 ch)
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
    refreshSwitch(PDwn[ch], QStringLiteral("PDwn"), ch);
    refreshScaled(VMon[ch], QStringLiteral("VMon"), ch);
    refreshScaled(IMon[ch], QStringLiteral("IMon"), ch);
    refreshStatus(lblStatus[ch], ch);
    refreshPlain(RmpUp[ch], QStringLiteral("RUp"), ch);
    refreshPlain(RmpDwn[ch], QStringLiteral("RDWn"), ch);
}
