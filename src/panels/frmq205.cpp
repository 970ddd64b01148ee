#include "frmq205.h"

#include "panelkit.h"
#include "thermometer.h"

#include <QGroupBox>
#include <QLabel>

using namespace PanelKit;

frmQ205::frmQ205(HVPowerSupply &h, QWidget *parent)
    : BoardPanel(h, parent)
{
    // A fixed dialog-like frame: no minimise, no maximise, no resizing.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                   | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(px(9210), px(7605));
    const int field = 285;

    QGroupBox *hv = groupFrame(this, QStringLiteral("frameHV"), QStringLiteral("High Voltage Supply"),
                               twips(60, 120, 3255, 1215));
    heading(hv, QStringLiteral("Channel Name"), twips(120, 240, 1335, 255));
    heading(hv, QStringLiteral("Pw"), twips(1500, 240, 315, 255));
    heading(hv, QStringLiteral("Status"), twips(1860, 240, 1275, 255));

    QGroupBox *lv = groupFrame(this, QStringLiteral("frameLV"), QStringLiteral("Low Voltage Supply"),
                               twips(3420, 120, 1935, 1215));
    heading(lv, QStringLiteral("Channel Name"), twips(120, 240, 1335, 255));
    heading(lv, QStringLiteral("Pw"), twips(1500, 240, 315, 255));

    auto *temp = new Thermometer(Qt::Horizontal, this);
    temp->setGeometry(twips(5460, 180, 3675, 915));
    setThermometer(temp);

    QGroupBox *remote = groupFrame(this, QStringLiteral("frameRemote"), QStringLiteral("Q206 Remote Board"),
                                   twips(60, 1440, 9075, 6075));
    heading(remote, QStringLiteral("Channel Name"), twips(120, 300, 1335, 255));
    heading(remote, QStringLiteral("Pw"), twips(1500, 300, 315, 255));
    heading(remote, QStringLiteral("V0Set"), twips(1860, 300, 735, 255));
    heading(remote, QStringLiteral("VMon"), twips(2640, 300, 735, 255));
    heading(remote, QStringLiteral("I0Set"), twips(3420, 300, 735, 255));
    heading(remote, QStringLiteral("IMon"), twips(4200, 300, 735, 255));
    heading(remote, QStringLiteral("RmpUp"), twips(4980, 300, 915, 255));
    heading(remote, QStringLiteral("RmpDwn"), twips(5940, 300, 915, 255));
    heading(remote, QStringLiteral("SVMax"), twips(6900, 300, 735, 255));
    heading(remote, QStringLiteral("Status"), twips(7680, 300, 1275, 255));

    for (qint16 ch = 0; ch < Channels; ++ch) {
        QGroupBox *frame = ch < 2 ? hv : ch == 2 ? lv : remote;
        const int top = ch < 2 ? 540 + 300 * ch : ch == 2 ? 540 : 600 + 300 * (ch - FirstRemote);
        txtChName << nameField(frame, ch, twips(120, top, 1335, field));
        ledPw << powerLamp(frame, ch, twips(1530, top + 15, 255, 255));
        bindName(txtChName.last(), ch);
        bindSwitch(ledPw.last(), QStringLiteral("Pw"), ch);
        if (ch < 2)
            lblStatus << statusLabel(frame, ch, twips(1860, top, 1275, field));
        if (ch < FirstRemote)
            continue;

        const int r = ch - FirstRemote; // element index of the remote fields
        lblStatus << statusLabel(frame, ch - 1, twips(7680, top, 1275, field));
        V0Set << numField(frame, QStringLiteral("V0Set"), r, twips(1860, top, 735, field), QStringLiteral(" k\"V\""), false);
        VMon << numField(frame, QStringLiteral("VMon"), r, twips(2640, top, 735, field), QStringLiteral(" k\"V\""), true);
        I0Set << numField(frame, QStringLiteral("I0Set"), r, twips(3420, top, 735, field), QString(), false);
        IMon << numField(frame, QStringLiteral("IMon"), r, twips(4200, top, 735, field), QStringLiteral(" k\"A\""), true);
        RmpUp << numField(frame, QStringLiteral("RmpUp"), r, twips(4980, top, 915, field), QStringLiteral(". \"V/s\""), false);
        RmpDwn << numField(frame, QStringLiteral("RmpDwn"), r, twips(5940, top, 915, field), QStringLiteral(". \"V/s\""), false);
        SVMax << numField(frame, QStringLiteral("SVMax"), r, twips(6900, top, 735, field), QStringLiteral("\"V\""), false);
        bindNumber(V0Set.last(), QStringLiteral("V0Set"), ch);
        bindNumber(I0Set.last(), QStringLiteral("I0Set"), ch);
        bindNumber(RmpUp.last(), QStringLiteral("RUp"), ch);
        bindNumber(RmpDwn.last(), QStringLiteral("RDWn"), ch);
        bindNumber(SVMax.last(), QStringLiteral("SVMax"), ch);
    }
}

void frmQ205::refreshChannel(qint16 ch)
{
    refreshName(txtChName[ch], ch);
    refreshLamp(ledPw[ch], QStringLiteral("Pw"), ch);
    if (ch < 2) {
        refreshStatus(lblStatus[ch], ch);
        return;
    }
    if (ch < FirstRemote)
        return; // the low-voltage channel shows no status
    const int r = ch - FirstRemote;
    refreshStatus(lblStatus[ch - 1], ch);
    refreshSetpoint(V0Set[r], QStringLiteral("V0Set"), QStringLiteral("V"), ch);
    refreshSetpoint(I0Set[r], QStringLiteral("I0Set"), QStringLiteral("A"), ch);
    refreshSetpoint(SVMax[r], QStringLiteral("SVMax"), QStringLiteral("V"), ch);
    refreshScaled(VMon[r], QStringLiteral("VMon"), ch);
    refreshScaled(IMon[r], QStringLiteral("IMon"), ch);
    refreshPlain(RmpUp[r], QStringLiteral("RUp"), ch);
    refreshPlain(RmpDwn[r], QStringLiteral("RDWn"), ch);
}
