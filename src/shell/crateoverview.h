#pragma once

#include "contrast.h"

#include <QWidget>
#include <array>

class Lamp;
class ModelTable;
class QGroupBox;
class QLabel;
class QPushButton;
class TwoPosSwitch;

// The crate as the main window shows it: a rack with one button per slot, the
// crate model and firmware release, and the "Front Panel" plate of lamps and
// the NIM/TTL switch. It only shows what it is given; the main window reads
// the crate and decides what a slot button does.
class CrateOverview : public QWidget
{
    Q_OBJECT
public:
    static constexpr int MaxSlots = 16;       // slot buttons
    static constexpr int FrontLampCount = 16; // lamps of the front panel

    explicit CrateOverview(QWidget *parent = nullptr);

    // The colours drawn here, each with the one it is drawn on.
    static QList<Contrast::Pair> colourPairs();

    QPushButton *slotButton(int slot) const { return bSlot[slot]; }
    // Shows buttons 0 to count - 1 (at most MaxSlots); the others stay hidden.
    void showSlotButtons(int count);
    // Captions and enables the first `count` buttons from the models the crate reports.
    void showSlots(const QVariant &count, const QVariant &models, const ModelTable &table);
    void showModel(const QString &model);
    // "FrontPanIn": the NIM/TTL switch and the input lamps.
    void showInputs(quint8 in);
    // "FrontPanOut": the output lamps.
    void showOutputs(qint16 out);
    void showRelease(const QString &release);
    // The lamps no mask drives, lit by latched alarms: "Trip" and "Power Failure".
    void showAlarmLamps(bool trip, bool powerFail);
    // A slot's alarm mark beside its caption: the words (empty: none), red while any
    // alarm of the board is not acknowledged, amber while acknowledged ones are still
    // active; `description` is what a screen reader says of it.
    void markSlot(int slot, const QString &words, bool unacknowledged, const QString &description);
    QLabel *slotMark(int slot) const { return m_marks[slot]; }
    // The disconnected look: buttons hidden, lamps and switch off, no model or release.
    void clear();

signals:
    void slotClicked(int slot);

private:
    QWidget *buildSlotColumn();
    QGroupBox *buildFrontPanel();

    std::array<QPushButton *, MaxSlots> bSlot{};  // one per slot, slot 0 at the top
    QLabel *lblSysModel = nullptr;                // crate model, shown while connected
    QLabel *lblFWRel = nullptr;                   // "FW Rel. " and the firmware release
    QGroupBox *frameFP = nullptr;                 // the front-panel lamps and switch
    TwoPosSwitch *swNIMTTL = nullptr;             // front-panel logic level: on = NIM
    std::array<Lamp *, FrontLampCount> m_lamps{}; // ledVSel .. ledPwrFail, in the order of the lamp table
    std::array<QLabel *, MaxSlots> m_marks{};     // lblAlarm_<slot>: the alarm mark on a slot button
};
