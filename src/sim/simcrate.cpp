#include "simcrate.h"

#include "hverror.h"
#include "simboard.h"

#include <QFile>

namespace {

// Front-panel input bits of "FrontPanIn".
enum : quint8 { VSelBit = 1, ISelBit = 2, KillBit = 4, InterlockBit = 8 };

const QStringList &inputNames()
{
    static const QStringList names{"VSel", "ISel", "Kill", "Interlock", "RemoteEnable", "LocalEnable", "TTL"};
    return names;
}

// Front-panel output bits of "FrontPanOut".
enum : quint16 {
    OvcOut = 1u << 0,
    UnvOut = 1u << 1,
    OvvOut = 1u << 2,
    ChannelOnOut = 1u << 3,
    FanFailOut = 1u << 8,
    TempOut = 1u << 9,
    ChkPassOut = 1u << 10,
};

SimBoard::Inputs boardInputs(quint8 frontPanIn)
{
    return {bool(frontPanIn & VSelBit), bool(frontPanIn & ISelBit), bool(frontPanIn & InterlockBit)};
}

} // namespace

struct SimCrate::Slot
{
    std::unique_ptr<SimBoard> board;  // in the slot, or null
    std::unique_ptr<SimBoard> pulled; // taken out, waiting to go back
};

SimCrate::SimCrate(Clock clock)
    : SimCrate(SimSetup::defaultCrate(), std::move(clock))
{
}

SimCrate::SimCrate(const SimCrateSetup &setup, Clock clock)
    : m_clock(std::move(clock)),
      m_modelName(setup.modelName),
      m_swRelease(setup.swRelease),
      m_frontPanIn(setup.frontPanIn & 0x7F),
      m_fanFailure(setup.fanFailure)
{
    m_realTime.start();
    m_lastMs = now();
    if (setup.slotCount < 1 || setup.slotCount > 16)
        throw HVError(QStringLiteral("a crate has 1..16 slots, not %1").arg(setup.slotCount));
    for (int i = 0; i < setup.slotCount; ++i)
        m_slots.push_back(std::make_unique<Slot>());
    for (const SimBoardSetup &b : setup.boards) {
        if (b.slot < 0 || b.slot >= setup.slotCount)
            throw HVError(QStringLiteral("slot %1 does not exist (the crate has slots 0..%2)").arg(b.slot).arg(setup.slotCount - 1));
        Slot &s = *m_slots[size_t(b.slot)];
        if (s.board)
            throw HVError(QStringLiteral("slot %1 holds two boards").arg(b.slot));
        const SimBoardModel *model = SimCatalogue::model(b.model);
        if (!model)
            throw HVError(QStringLiteral("slot %1: unknown board model \"%2\" (known: %3)")
                              .arg(b.slot).arg(b.model, SimCatalogue::modelNames().join(QStringLiteral(", "))));
        s.board = std::make_unique<SimBoard>(*model, b.slot);
        s.board->apply(b, boardInputs(m_frontPanIn));
    }
    if (m_frontPanIn & (KillBit | InterlockBit))
        for (auto &s : m_slots)
            if (s->board)
                s->board->killAll();
}

SimCrate::~SimCrate() = default;

std::unique_ptr<SimCrate> SimCrate::fromJson(const QByteArray &json, Clock clock)
{
    return std::make_unique<SimCrate>(SimSetup::fromJson(json), std::move(clock));
}

std::unique_ptr<SimCrate> SimCrate::fromJsonFile(const QString &path, Clock clock)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw HVError(QStringLiteral("cannot read the crate file %1: %2").arg(path, file.errorString()));
    try {
        return fromJson(file.readAll(), std::move(clock));
    } catch (const HVError &e) {
        throw HVError(QStringLiteral("crate file %1: %2").arg(path, e.message()));
    }
}

qint64 SimCrate::now() const
{
    return m_clock ? m_clock() : m_realTime.elapsed();
}

void SimCrate::advance() const
{
    const qint64 t = now();
    if (t <= m_lastMs)
        return; // a clock that stands still or goes back changes nothing
    const double seconds = double(t - m_lastMs) / 1000.0;
    for (const auto &s : m_slots)
        if (s->board)
            s->board->advance(seconds, boardInputs(m_frontPanIn));
    m_lastMs = t;
}

void SimCrate::checkSlot(int slot) const
{
    if (slot < 0 || slot >= int(m_slots.size()))
        throw HVError(QStringLiteral("slot %1 does not exist (the crate has slots 0..%2)")
                          .arg(slot).arg(m_slots.size() - 1));
}

SimBoard &SimCrate::board(int slot) const
{
    checkSlot(slot);
    SimBoard *b = m_slots[size_t(slot)]->board.get();
    if (!b)
        throw HVError(QStringLiteral("slot %1 is empty").arg(slot));
    return *b;
}

QByteArray SimCrate::toJson() const
{
    return SimSetup::toJson(setup());
}

SimCrateSetup SimCrate::setup() const
{
    std::lock_guard lock(m_mutex);
    advance();
    SimCrateSetup s;
    s.modelName = m_modelName;
    s.swRelease = m_swRelease;
    s.slotCount = int(m_slots.size());
    s.frontPanIn = m_frontPanIn;
    s.fanFailure = m_fanFailure;
    for (const auto &slot : m_slots)
        if (slot->board)
            s.boards << slot->board->setup();
    return s;
}

int SimCrate::slotCount() const
{
    std::lock_guard lock(m_mutex);
    return int(m_slots.size());
}

QVariantList SimCrate::channelCounts() const
{
    std::lock_guard lock(m_mutex);
    QVariantList counts;
    for (const auto &s : m_slots)
        counts << (s->board ? s->board->channelCount() : 0);
    return counts;
}

QVariantList SimCrate::slotModels() const
{
    std::lock_guard lock(m_mutex);
    QVariantList models;
    for (const auto &s : m_slots)
        models << (s->board ? s->board->model().name : QString());
    return models;
}

quint16 SimCrate::frontPanelOut() const
{
    const SimBoard::Inputs in = boardInputs(m_frontPanIn);
    quint16 out = m_fanFailure ? FanFailOut : 0;
    bool checksumsPass = true;
    for (const auto &s : m_slots) {
        const SimBoard *b = s->board.get();
        if (!b)
            continue;
        if (b->anyChannel(SimChannel::OverCurrent, in))
            out |= OvcOut;
        if (b->anyChannel(SimChannel::UnderVoltage, in))
            out |= UnvOut;
        if (b->anyChannel(SimChannel::OverVoltage, in))
            out |= OvvOut;
        if (b->anyChannel(SimChannel::On, in))
            out |= ChannelOnOut;
        if (b->boardStatus() & (SimBoard::OverTemp | SimBoard::UnderTemp))
            out |= TempOut;
        if (b->boardStatus() & SimBoard::FirmwareChecksum)
            checksumsPass = false;
    }
    if (checksumsPass)
        out |= ChkPassOut;
    return out;
}

QVariant SimCrate::crateProperty(const QString &name) const
{
    std::lock_guard lock(m_mutex);
    advance();
    if (name == QLatin1String("ModelName"))
        return m_modelName;
    if (name == QLatin1String("SwRelease"))
        return m_swRelease;
    if (name == QLatin1String("FrontPanIn"))
        return int(m_frontPanIn);
    if (name == QLatin1String("FrontPanOut"))
        return int(frontPanelOut());
    throw HVError(QStringLiteral("unknown crate property \"%1\" (known: ModelName, SwRelease, FrontPanIn, FrontPanOut)")
                      .arg(name));
}

QVariant SimCrate::paramValue(int slot, const QString &par, std::optional<int> ch) const
{
    std::lock_guard lock(m_mutex);
    advance();
    return board(slot).value(par, ch, boardInputs(m_frontPanIn), m_lastMs);
}

void SimCrate::setParamValue(int slot, const QString &par, int ch, const QVariant &value)
{
    std::lock_guard lock(m_mutex);
    advance();
    board(slot).setValue(par, ch, value, boardInputs(m_frontPanIn), m_frontPanIn & KillBit);
    if (m_writeObserver)
        m_writeObserver(slot, par, ch, value);
}

void SimCrate::setWriteObserver(WriteObserver observer)
{
    std::lock_guard lock(m_mutex);
    m_writeObserver = std::move(observer);
}

QVariant SimCrate::paramAttribute(int slot, const QString &par, const QString &prop, std::optional<int> ch) const
{
    std::lock_guard lock(m_mutex);
    return board(slot).attribute(par, prop, ch);
}

QString SimCrate::channelName(int slot, int ch) const
{
    std::lock_guard lock(m_mutex);
    return board(slot).channelName(ch);
}

void SimCrate::setChannelName(int slot, int ch, const QString &name)
{
    std::lock_guard lock(m_mutex);
    board(slot).setChannelName(ch, name);
}

QStringList SimCrate::listChannelParams(int slot, int ch) const
{
    std::lock_guard lock(m_mutex);
    return board(slot).channelParams(ch);
}

void SimCrate::pullBoard(int slot)
{
    std::lock_guard lock(m_mutex);
    advance();
    SimBoard &b = board(slot);
    b.powerLoss();
    Slot &s = *m_slots[size_t(slot)];
    s.pulled = std::move(s.board);
}

void SimCrate::insertBoard(int slot)
{
    std::lock_guard lock(m_mutex);
    advance();
    checkSlot(slot);
    Slot &s = *m_slots[size_t(slot)];
    if (s.board)
        throw HVError(QStringLiteral("slot %1 already holds a board").arg(slot));
    if (!s.pulled)
        throw HVError(QStringLiteral("no board was pulled from slot %1").arg(slot));
    s.board = std::move(s.pulled);
    if (!(m_frontPanIn & KillBit))
        s.board->powerUp(boardInputs(m_frontPanIn));
}

void SimCrate::insertBoard(int slot, const QString &model)
{
    std::lock_guard lock(m_mutex);
    advance();
    checkSlot(slot);
    Slot &s = *m_slots[size_t(slot)];
    if (s.board)
        throw HVError(QStringLiteral("slot %1 already holds a board").arg(slot));
    const SimBoardModel *m = SimCatalogue::model(model);
    if (!m)
        throw HVError(QStringLiteral("unknown board model \"%1\"").arg(model));
    s.board = std::make_unique<SimBoard>(*m, slot);
    s.pulled.reset();
}

void SimCrate::setFrontPanelInput(const QString &name, bool on)
{
    std::lock_guard lock(m_mutex);
    const int bit = inputNames().indexOf(name);
    if (bit < 0)
        throw HVError(QStringLiteral("unknown front-panel input \"%1\" (known: %2)")
                          .arg(name, inputNames().join(QStringLiteral(", "))));
    advance();
    const quint8 mask = quint8(1u << bit);
    const bool rising = on && !(m_frontPanIn & mask);
    m_frontPanIn = on ? (m_frontPanIn | mask) : (m_frontPanIn & ~mask);
    if (rising && (mask & (KillBit | InterlockBit)))
        for (auto &s : m_slots)
            if (s->board)
                s->board->killAll();
}

void SimCrate::setFanFailure(bool failed)
{
    std::lock_guard lock(m_mutex);
    m_fanFailure = failed;
}

void SimCrate::setLoad(int slot, int ch, double ohms)
{
    std::lock_guard lock(m_mutex);
    advance();
    if (!(ohms > 0) || !std::isfinite(ohms))
        throw HVError(QStringLiteral("a load of %1 ohm is not possible").arg(ohms));
    board(slot).channel(ch).setLoadOhms(ohms);
}

void SimCrate::setHardwareMax(int slot, std::optional<int> ch, double volts)
{
    std::lock_guard lock(m_mutex);
    advance();
    board(slot).setHardwareMax(ch, volts);
}

void SimCrate::setChannelFaults(int slot, int ch, quint32 statusBits)
{
    std::lock_guard lock(m_mutex);
    if (statusBits & ~SimChannel::FaultBits)
        throw HVError(QStringLiteral("status bits %1 cannot be forced (bits 4, 6, 8, 10 and 11 can)").arg(statusBits));
    board(slot).channel(ch).setFaults(statusBits);
}

void SimCrate::setBoardFaults(int slot, quint32 bdStatusBits)
{
    std::lock_guard lock(m_mutex);
    if (bdStatusBits & ~SimBoard::FaultBits)
        throw HVError(QStringLiteral("board status bits %1 cannot be forced (bits 0..3 can)").arg(bdStatusBits));
    board(slot).setFaults(bdStatusBits);
}

void SimCrate::setAmbient(int slot, double celsius)
{
    std::lock_guard lock(m_mutex);
    advance();
    board(slot).setAmbient(celsius);
}
