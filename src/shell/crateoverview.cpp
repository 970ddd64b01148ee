#include "crateoverview.h"

#include "lamp.h"
#include "modeltable.h"
#include "plaintext.h"
#include "twoposswitch.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <iterator>

namespace {
// Lamp colours of the front panel: green for a state, red for a fault, amber for a flag.
constexpr QRgb LitGreen = qRgb(0x3c, 0xf0, 0x5a);
constexpr QRgb LitRed = qRgb(0xff, 0x3a, 0x2a);
constexpr QRgb LitAmber = qRgb(0xff, 0xb0, 0x20);

// Which front-panel mask lights a lamp.
enum class Mask { In, Out, None };

// A lamp of the front panel: where it sits, its colour when lit, and the bit of
// "FrontPanIn" or "FrontPanOut" that lights it.
struct FrontLamp
{
    const char *name;
    const char *label;
    QRgb lit;
    int row;
    int column;
    Mask mask;
    int bit;
};

// Inputs, outputs and flags in three columns. No bit of either mask drives
// the flags: "Trip" and "Power Failure" are lit by latched alarms (the main
// window's watch), "Rst Flag" stays dark.
constexpr FrontLamp FrontLamps[] = {
    {"ledVSel", "VSel", LitGreen, 1, 0, Mask::In, 1},
    {"ledISel", "ISel", LitGreen, 2, 0, Mask::In, 2},
    {"ledKill", "Kill", LitRed, 3, 0, Mask::In, 4},
    {"ledIlock", "Interlock", LitRed, 4, 0, Mask::In, 8},
    {"ledLocEna", "Local Enable", LitGreen, 5, 0, Mask::In, 32},
    {"ledRemEna", "Remote Enable", LitGreen, 6, 0, Mask::In, 16},
    {"ledOVC", "OVC", LitRed, 1, 3, Mask::Out, 1},
    {"ledUNV", "UNV", LitRed, 2, 3, Mask::Out, 2},
    {"ledOVV", "OVV", LitRed, 3, 3, Mask::Out, 4},
    {"ledChOn", "Channel On", LitGreen, 4, 3, Mask::Out, 8},
    {"ledFanFail", "Fan Failure", LitRed, 5, 3, Mask::Out, 256},
    {"ledTemp", "Over/Under Temperature", LitRed, 6, 3, Mask::Out, 512},
    {"ledChkPass", "Chk Pass", LitGreen, 7, 3, Mask::Out, 1024},
    {"ledTrip", "Trip", LitRed, 1, 6, Mask::None, 0},
    {"ledRstFlag", "Rst Flag", LitAmber, 2, 6, Mask::None, 0},
    {"ledPwrFail", "Power Failure", LitRed, 3, 6, Mask::None, 0},
};
static_assert(std::size(FrontLamps) == CrateOverview::FrontLampCount);

constexpr int NimBit = 64; // of "FrontPanIn": clear for NIM, set for TTL

Lamp *addLamp(const FrontLamp &f, QWidget *parent, QGridLayout *grid)
{
    const QColor lit(f.lit);
    auto *lamp = new Lamp(parent);
    lamp->setObjectName(QString::fromLatin1(f.name));
    lamp->setOnColor(lit);
    lamp->setOffColor(QColor::fromHsv(lit.hsvHue(), qMin(255, lit.hsvSaturation()), 78));
    lamp->setFixedSize(20, 20);
    lamp->setToolTip(QString::fromLatin1(f.label));
    lamp->setAccessibleName(QString::fromLatin1(f.label)); // read as lit (checked) or dark, not by its colour
    auto *text = new QLabel(QString::fromLatin1(f.label), parent);
    text->setObjectName(QStringLiteral("lbl") + QString::fromLatin1(f.name).mid(3));
    text->setBuddy(lamp);
    grid->addWidget(lamp, f.row, f.column, Qt::AlignCenter);
    grid->addWidget(text, f.row, f.column + 1);
    return lamp;
}

// The plate and the rack: dark anodised metal with light print, as on the crate
// itself, and light module faces with dark print. Each ink goes with its metal.
const QColor PlateTop(0x34, 0x3a, 0x40);
const QColor PlateBottom(0x1f, 0x23, 0x27);
const QColor PlateEdge(0x0d, 0x0f, 0x11);
const QColor PlatePrint(0xe9, 0xec, 0xef);   // lamp captions, the live switch label
const QColor PlateDimPrint(0x9a, 0xa4, 0xae); // column headings, the other switch label
const QColor FaceTop(0xf8, 0xf9, 0xfa);
const QColor FaceBottom(0xd3, 0xd8, 0xdd);
const QColor FacePressed(0xc4, 0xcb, 0xd2);
const QColor FacePrint(0x10, 0x14, 0x18);
const QColor EmptyFace(0x36, 0x3c, 0x42);      // a slot that cannot be opened
const QColor EmptyPrint(0xaa, 0xb2, 0xba);
// A slot's alarm mark: white on red until acknowledged, black on amber while still active.
const QColor AlarmFace(0xb0, 0x1c, 0x1c);
const QColor AlarmPrint(0xff, 0xff, 0xff);
const QColor AckedFace(0xff, 0xb0, 0x20);
const QColor AckedPrint(0x10, 0x14, 0x18);

// The front plate. Its caption stands above it, on the window: in the window's text colour.
QString frontPanelStyle()
{
    return QStringLiteral(R"(
QGroupBox#frameFP {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:1 %2);
    border: 2px solid %3;
    border-radius: 6px;
    margin-top: 1.4em;
    padding: 12px 10px 10px 10px;
    font-weight: bold;
}
QGroupBox#frameFP::title {
    subcontrol-origin: margin;
    left: 10px;
    padding: 0 4px;
    color: palette(window-text);
}
QGroupBox#frameFP QLabel { color: %4; }
QGroupBox#frameFP QLabel[heading="true"] { color: %5; font-size: 8pt; font-weight: bold; }
)")
        .arg(PlateTop.name(), PlateBottom.name(), PlateEdge.name(), PlatePrint.name(), PlateDimPrint.name());
}

// Slot buttons look like the faces of the modules in a rack.
QString slotColumnStyle()
{
    return QStringLiteral(R"(
QPushButton {
    font-family: "DejaVu Sans Mono";
    text-align: left;
    padding: 2px 8px;
    color: %1;
    border: 1px solid #6c757d;
    border-radius: 3px;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %2, stop:1 %3);
}
QPushButton:hover { border-color: #3d8bfd; }
QPushButton:pressed { background: %4; }
QPushButton:focus { border: 1px solid #3d8bfd; }
QPushButton:disabled {
    color: %5;
    border-color: #444b52;
    background: %6;
}
)")
        .arg(FacePrint.name(), FaceTop.name(), FaceBottom.name(), FacePressed.name(), EmptyPrint.name(),
             EmptyFace.name());
}

// The column of slot buttons, drawn as a rack: every slot has its bay, so an
// empty or disconnected crate still reads as a crate.
class CrateRack : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient metal(0, 0, 0, height());
        metal.setColorAt(0.0, PlateTop);
        metal.setColorAt(1.0, PlateBottom);
        p.setPen(QPen(PlateEdge, 2));
        p.setBrush(metal);
        p.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 6, 6);
        for (const QPushButton *b : findChildren<QPushButton *>()) {
            const QRectF bay = QRectF(b->geometry()).adjusted(0.5, 0.5, -0.5, -0.5);
            p.setPen(QPen(QColor(0x12, 0x14, 0x17), 1));
            p.setBrush(QColor(0x24, 0x28, 0x2d));
            p.drawRoundedRect(bay, 3, 3);
            p.setPen(QPen(QColor(0x4a, 0x52, 0x5a), 1)); // light catching the lower lip
            p.drawLine(bay.bottomLeft() + QPointF(3, 0.5), bay.bottomRight() + QPointF(-3, 0.5));
        }
    }
};

} // namespace

CrateOverview::CrateOverview(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("crateOverview"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(10, 10, 10, 10);
    row->setSpacing(14);
    row->addWidget(buildSlotColumn(), 0, Qt::AlignTop);

    auto *right = new QVBoxLayout;
    right->setSpacing(4);
    // Both show the crate's own words: as sent, never as markup.
    lblSysModel = new QLabel(this);
    lblSysModel->setObjectName(QStringLiteral("lblSysModel"));
    lblSysModel->setTextFormat(Qt::PlainText);
    QFont big(QStringLiteral("Verdana"));
    big.setPointSize(18);
    big.setBold(true);
    lblSysModel->setFont(big);
    lblSysModel->setVisible(false);
    // Keep the place of the crate model when it is hidden, so nothing jumps on connect.
    QSizePolicy keep = lblSysModel->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    lblSysModel->setSizePolicy(keep);
    lblSysModel->setMinimumHeight(QFontMetrics(big).height());
    right->addWidget(lblSysModel);

    lblFWRel = new QLabel(this);
    lblFWRel->setObjectName(QStringLiteral("lblFWRel"));
    lblFWRel->setTextFormat(Qt::PlainText);
    lblFWRel->setMinimumHeight(lblFWRel->fontMetrics().height());
    right->addWidget(lblFWRel);
    right->addSpacing(6);
    right->addWidget(buildFrontPanel());
    right->addStretch(1);
    row->addLayout(right, 1);
}

QList<Contrast::Pair> CrateOverview::colourPairs()
{
    const QPalette window = QGuiApplication::palette();
    QList<Contrast::Pair> out{{QStringLiteral("Front Panel caption, status line"), window.color(QPalette::Window),
                               window.color(QPalette::WindowText)}};
    for (const QColor &metal : {PlateTop, PlateBottom}) {
        out.append({QStringLiteral("plate print"), metal, PlatePrint});
        out.append({QStringLiteral("plate headings"), metal, PlateDimPrint});
    }
    for (const QColor &face : {FaceTop, FaceBottom, FacePressed})
        out.append({QStringLiteral("slot caption"), face, FacePrint});
    out.append({QStringLiteral("empty slot caption"), EmptyFace, EmptyPrint});
    out.append({QStringLiteral("slot alarm mark"), AlarmFace, AlarmPrint});
    out.append({QStringLiteral("slot alarm mark, acknowledged"), AckedFace, AckedPrint});
    return out;
}

QWidget *CrateOverview::buildSlotColumn()
{
    auto *rack = new CrateRack;
    rack->setObjectName(QStringLiteral("crateRack"));
    rack->setStyleSheet(slotColumnStyle());
    auto *column = new QVBoxLayout(rack);
    column->setContentsMargins(8, 8, 8, 8);
    column->setSpacing(3);
    for (int i = 0; i < MaxSlots; ++i) {
        auto *b = new QPushButton(QStringLiteral("Slot %1").arg(i), rack);
        b->setObjectName(QStringLiteral("bSlot_%1").arg(i));
        b->setFixedSize(190, 24);
        b->setAutoDefault(true); // Enter on the focused button opens the panel, as Space does
        b->setEnabled(false);
        b->setVisible(false);
        // A hidden slot keeps its place: slot i is always at the same height.
        QSizePolicy keep = b->sizePolicy();
        keep.setRetainSizeWhenHidden(true);
        b->setSizePolicy(keep);
        connect(b, &QPushButton::clicked, this, [this, i] { emit slotClicked(i); });
        column->addWidget(b);
        bSlot[i] = b;
        // The alarm mark sits on the button's right end, where no caption reaches.
        auto *mark = new QLabel(b);
        mark->setObjectName(QStringLiteral("lblAlarm_%1").arg(i));
        mark->setAttribute(Qt::WA_TransparentForMouseEvents);
        mark->setAlignment(Qt::AlignCenter);
        mark->hide();
        m_marks[i] = mark;
    }
    return rack;
}

QGroupBox *CrateOverview::buildFrontPanel()
{
    frameFP = new QGroupBox(QStringLiteral("Front Panel"));
    frameFP->setObjectName(QStringLiteral("frameFP"));
    frameFP->setStyleSheet(frontPanelStyle());
    auto *grid = new QGridLayout(frameFP);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(7);
    grid->setColumnMinimumWidth(2, 18);
    grid->setColumnMinimumWidth(5, 18);

    auto heading = [this, grid](const QString &text, int column) {
        auto *l = new QLabel(text, frameFP);
        l->setProperty("heading", true);
        grid->addWidget(l, 0, column, 1, 2);
    };
    heading(QStringLiteral("INPUTS"), 0);
    heading(QStringLiteral("OUTPUTS"), 3);
    heading(QStringLiteral("FLAGS"), 6);

    for (std::size_t i = 0; i < m_lamps.size(); ++i)
        m_lamps[i] = addLamp(FrontLamps[i], frameFP, grid);

    swNIMTTL = new TwoPosSwitch(QStringLiteral("NIM"), QStringLiteral("TTL"), frameFP);
    swNIMTTL->setObjectName(QStringLiteral("swNIMTTL"));
    // It shows the crate's setting; the operator cannot change it from here.
    swNIMTTL->setAttribute(Qt::WA_TransparentForMouseEvents);
    swNIMTTL->setFocusPolicy(Qt::NoFocus);
    QPalette plate = swNIMTTL->palette();
    plate.setColor(QPalette::Active, QPalette::WindowText, PlatePrint);
    plate.setColor(QPalette::Inactive, QPalette::WindowText, PlatePrint);
    plate.setColor(QPalette::Disabled, QPalette::WindowText, PlateDimPrint); // the label not in force
    swNIMTTL->setPalette(plate);
    grid->addWidget(swNIMTTL, 7, 0, 1, 2, Qt::AlignLeft);

    grid->setRowStretch(8, 1);
    return frameFP;
}

void CrateOverview::showSlotButtons(int count)
{
    const int n = qBound(0, count, int(MaxSlots));
    for (int i = 0; i < n; ++i)
        bSlot[i]->setVisible(true);
}

void CrateOverview::showSlots(const QVariant &count, const QVariant &models, const ModelTable &table)
{
    const QVariantList modelList = models.toList();
    // The window has sixteen buttons; a crate reporting more shows its first sixteen.
    const int n = qBound(0, count.toInt(), int(MaxSlots));
    for (int i = 0; i < n; ++i) {
        const QString model = modelList.value(i).toString();
        QPushButton *b = bSlot[i];
        if (!model.isEmpty()) {
            b->setEnabled(table.isSupportedModel(model));
            b->setText(QStringLiteral("Slot %1 - %2").arg(i).arg(PlainText::buttonText(model)));
        } else {
            b->setEnabled(false);
            b->setText(QStringLiteral("Slot %1 - Empty ").arg(i));
        }
    }
}

void CrateOverview::showModel(const QString &model)
{
    lblSysModel->setText(model);
    lblSysModel->setVisible(true);
}

void CrateOverview::showInputs(quint8 in)
{
    swNIMTTL->setValue(!(in & NimBit));
    for (std::size_t i = 0; i < m_lamps.size(); ++i)
        if (FrontLamps[i].mask == Mask::In)
            m_lamps[i]->setValue(in & FrontLamps[i].bit);
}

void CrateOverview::showOutputs(qint16 out)
{
    for (std::size_t i = 0; i < m_lamps.size(); ++i)
        if (FrontLamps[i].mask == Mask::Out)
            m_lamps[i]->setValue(out & FrontLamps[i].bit);
}

void CrateOverview::showRelease(const QString &release)
{
    lblFWRel->setText(QStringLiteral("FW Rel. ") + release);
}

void CrateOverview::showAlarmLamps(bool trip, bool powerFail)
{
    for (std::size_t i = 0; i < m_lamps.size(); ++i) {
        const QLatin1String name(FrontLamps[i].name);
        if (name == QLatin1String("ledTrip"))
            m_lamps[i]->setValue(trip);
        else if (name == QLatin1String("ledPwrFail"))
            m_lamps[i]->setValue(powerFail);
    }
}

void CrateOverview::markSlot(int slot, const QString &words, bool unacknowledged, const QString &description)
{
    if (slot < 0 || slot >= MaxSlots)
        return;
    QLabel *mark = m_marks[slot];
    QPushButton *b = bSlot[slot];
    b->setAccessibleDescription(description);
    b->setToolTip(description);
    if (words.isEmpty()) {
        mark->hide();
        return;
    }
    const QColor face = unacknowledged ? AlarmFace : AckedFace;
    const QColor print = unacknowledged ? AlarmPrint : AckedPrint;
    mark->setStyleSheet(QStringLiteral("QLabel { background: %1; color: %2; font-family: \"DejaVu Sans\"; "
                                       "font-size: 7pt; font-weight: bold; border-radius: 2px; padding: 0 3px; }")
                            .arg(face.name(), print.name()));
    mark->setText(words);
    mark->adjustSize();
    mark->move(b->width() - mark->width() - 3, (b->height() - mark->height()) / 2);
    mark->show();
}

void CrateOverview::clear()
{
    for (QPushButton *b : bSlot) {
        b->setEnabled(false);
        b->setVisible(false);
    }
    for (Lamp *l : m_lamps)
        l->setValue(false);
    swNIMTTL->setValue(false);
    lblFWRel->setText(QString());
    lblSysModel->setVisible(false);
}
