#include "frmq310.h"

#include "clicklabel.h"
#include "frmq310graph.h"
#include "panelkit.h"
#include "thermometer.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>

using namespace PanelKit;

frmQ310::frmQ310(HVPowerSupply &h, QWidget *parent)
    : BoardPanel(h, parent)
{
    resize(px(9855), px(6000));
    for (int macro = 0; macro < 2; ++macro)
        buildGroup(macro);

    auto *temp = new Thermometer(Qt::Vertical, this);
    temp->setGeometry(twips(9240, 120, 555, 5415));
    setThermometer(temp);

    addTabStrip(twips(7620, 5640, 1515, 315));
}

void frmQ310::buildGroup(int macro)
{
    const QString m = QString::number(macro);
    QGroupBox *frame = groupFrame(this, QStringLiteral("Frame%1").arg(macro + 1),
                                  QStringLiteral("Macro Channel %1").arg(macro), twips(60, 60 + 2760 * macro, 9075, 2715));
    heading(frame, QStringLiteral("Channel Name"), twips(120, 240, 1335, 255));
    heading(frame, QStringLiteral("Status"), twips(7680, 240, 1275, 255));

    QFrame *main = subFrame(frame, QStringLiteral("frameMC%1Main").arg(m), twips(1500, 240, 6195, 2415));
    QFrame *more = subFrame(frame, QStringLiteral("frameMC%1More").arg(m), twips(1500, 240, 6195, 2415));

    heading(main, QStringLiteral("Pw"), twips(0, 0, 315, 255));
    heading(main, QStringLiteral("V0Set"), twips(360, 0, 735, 255));
    ClickLabel *vmon = clickHeading(main, QStringLiteral("lblVMon") + m, QStringLiteral("VMon"), twips(1140, 0, 735, 255));
    heading(main, QStringLiteral("HVMax"), twips(1920, 0, 735, 255));
    heading(main, QStringLiteral("I0Set"), twips(2700, 0, 735, 255));
    ClickLabel *imon = clickHeading(main, QStringLiteral("lblIMon") + m, QStringLiteral("IMon"), twips(3480, 0, 735, 255));
    heading(main, QStringLiteral("RmpUp"), twips(4260, 0, 915, 255));
    heading(main, QStringLiteral("RmpDwn"), twips(5220, 0, 915, 255));
    const auto mc = static_cast<qint16>(macro);
    connect(vmon, &ClickLabel::clicked, this, [this, mc] { OpenBoardGraph(QStringLiteral("VMon"), mc); });
    connect(imon, &ClickLabel::clicked, this, [this, mc] { OpenBoardGraph(QStringLiteral("IMon"), mc); });

    heading(more, QStringLiteral("V1Set"), twips(0, 0, 735, 255));
    heading(more, QStringLiteral("I1Set"), twips(780, 0, 735, 255));
    heading(more, QStringLiteral("SVMax"), twips(1560, 0, 735, 255));
    heading(more, QStringLiteral("Trip"), twips(2340, 0, 735, 255));
    heading(more, QStringLiteral("TripInt"), twips(3120, 0, 735, 255));
    heading(more, QStringLiteral("TripExt"), twips(3900, 0, 735, 255));
    heading(more, QStringLiteral("POn"), twips(4680, 0, 675, 255));
    heading(more, QStringLiteral("PDwn"), twips(5400, 0, 735, 255));

    for (int r = 0; r < GroupRows; ++r) {
        const auto ch = static_cast<qint16>(GroupRows * macro + r);
        const int top = 300 + 300 * r; // row top inside a page
        const int field = 285;

        txtChName << nameField(frame, ch, twips(120, 540 + 300 * r, 1335, field));
        lblStatus << statusLabel(frame, ch, twips(7680, 540 + 300 * r, 1275, field));

        ledPw << powerLamp(main, ch, twips(30, top + 15, 255, 255));
        V0Set << numField(main, QStringLiteral("V0Set"), ch, twips(360, top, 735, field), QStringLiteral(" k\"V\""), false);
        VMon << numField(main, QStringLiteral("VMon"), ch, twips(1140, top, 735, field), QStringLiteral(" k\"V\""), true);
        HVMax << numField(main, QStringLiteral("HVMax"), ch, twips(1920, top, 735, field), QStringLiteral(" k\"V\""), true);
        I0Set << numField(main, QStringLiteral("I0Set"), ch, twips(2700, top, 735, field), QString(), false);
        IMon << numField(main, QStringLiteral("IMon"), ch, twips(3480, top, 735, field), QStringLiteral(" k\"A\""), true);
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
}

void frmQ310::refreshChannel(qint16 ch)
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
    refreshScaled(HVMax[ch], QStringLiteral("HVMax"), ch);
    refreshStatus(lblStatus[ch], ch);
    refreshPlain(RmpUp[ch], QStringLiteral("RUp"), ch);
    refreshPlain(RmpDwn[ch], QStringLiteral("RDWn"), ch);
}

void frmQ310::OpenBoardGraph(const QString &ParName, qint16 MacroChannel)
{
    frmQ310Graph::open(h, Slot, MacroChannel, ParName);
}
