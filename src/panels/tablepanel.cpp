#include "tablepanel.h"

#include "lamp.h"
#include "namefield.h"
#include "numfield.h"
#include "readoutlabel.h"
#include "twoposswitch.h"

#include <QLabel>
#include <algorithm>

using namespace PanelKit;

void TablePanel::addRows(std::initializer_list<Table> tables, qint16 first, int count)
{
    QWidget *previous = nullptr; // the last Tab stop of the row before
    for (int row = 0; row < count; ++row) {
        const auto ch = static_cast<qint16>(first + row);
        QList<QWidget *> stops;
        for (const Table &t : tables) {
            for (const Column &c : t.columns) {
                QVector<QWidget *> &controls = cellOf(c).controls;
                if (controls.size() <= ch)
                    controls.resize(ch + 1);
                controls[ch] = addControl(t, c, row, ch);
                stops << controls[ch];
            }
        }
        nameRow(ch);
        // Tab goes along the row as it reads, left to right, whatever table a cell is in
        // (the other page's cells are hidden, so Tab passes them by), then to the next row.
        std::stable_sort(stops.begin(), stops.end(), [this](const QWidget *a, const QWidget *b) {
            return a->mapTo(content(), QPoint()).x() < b->mapTo(content(), QPoint()).x();
        });
        for (QWidget *w : std::as_const(stops)) {
            if (previous)
                setTabOrder(previous, w);
            previous = w;
        }
    }
    m_rows = std::max(m_rows, first + count);
}

void TablePanel::showChannelName(qint16 ch)
{
    nameRow(ch);
}

void TablePanel::nameRow(qint16 ch)
{
    // Every control of the row tells the channel's number, and its name once read;
    // the name field's own value is the name, so it tells the number only.
    const QString number = QStringLiteral("channel %1").arg(ch);
    const QString name = channelLabel(ch);
    const QString named = name == QString::number(ch) ? number : number + QStringLiteral(", ") + name;
    for (const Cell &cell : m_cells) {
        QWidget *w = cell.controls.value(ch);
        if (!w)
            continue;
        const QString said = cell.heading + QStringLiteral(", ") + (cell.kind == Kind::Name ? number : named);
        if (w->accessibleName() != said)
            w->setAccessibleName(said);
    }
}

void TablePanel::setTickOrder(std::initializer_list<const char *> arrays)
{
    m_tick.clear();
    for (const char *array : arrays) {
        const auto it = std::find_if(m_cells.cbegin(), m_cells.cend(),
                                     [array](const Cell &cell) { return cell.array == QLatin1String(array); });
        Q_ASSERT_X(it != m_cells.cend(), "TablePanel::setTickOrder", array);
        if (it != m_cells.cend())
            m_tick << static_cast<int>(it - m_cells.cbegin());
    }
}

void TablePanel::planChannel(ReadPlan &plan, qint16 ch)
{
    for (const int i : std::as_const(m_tick)) {
        const Cell &cell = m_cells[i];
        QWidget *w = cell.controls.value(ch);
        if (!w)
            continue;
        switch (cell.kind) {
        case Kind::Name: planName(plan, static_cast<NameField *>(w), ch); break;
        case Kind::Status: planStatus(plan, static_cast<ReadoutLabel *>(w), ch); break;
        case Kind::Power: planLamp(plan, static_cast<Lamp *>(w), cell.par, ch); break;
        case Kind::Switch: planSwitch(plan, static_cast<TwoPosSwitch *>(w), cell.par, ch); break;
        case Kind::Setpoint: planSetpoint(plan, static_cast<NumField *>(w), cell.par, cell.unit, ch); break;
        case Kind::Value: planPlain(plan, static_cast<NumField *>(w), cell.par, ch); break;
        case Kind::Monitor: planScaledValue(plan, static_cast<NumField *>(w), cell.par, ch); break;
        }
    }
}

QWidget *TablePanel::addControl(const Table &t, const Column &c, int row, qint16 ch)
{
    const int top = rowTop(t, row);
    const int index = ch - c.shift;
    const QRect r = twips(c.left, top, c.width, FieldHeight);
    const QString array = QString::fromLatin1(c.array);
    const QString par = QString::fromLatin1(c.par);
    switch (c.kind) {
    case Kind::Name: {
        NameField *field = nameField(t.parent, index, r);
        bindName(field, ch);
        return field;
    }
    case Kind::Status:
        return statusLabel(t.parent, index, r);
    case Kind::Power: {
        Lamp *lamp = powerLamp(t.parent, index, twips(c.left + (c.width - LampSize) / 2, top + 15, LampSize, LampSize));
        bindSwitch(lamp, par, ch);
        return lamp;
    }
    case Kind::Switch: {
        TwoPosSwitch *sw = twoPos(t.parent, array, index, r, QString::fromLatin1(c.on), QString::fromLatin1(c.off));
        bindSwitch(sw, par, ch);
        return sw;
    }
    case Kind::Monitor:
        return numField(t.parent, array, index, r, QString::fromLatin1(c.format), true);
    case Kind::Setpoint:
    case Kind::Value: {
        NumField *field = numField(t.parent, array, index, r, QString::fromLatin1(c.format), false);
        bindNumber(field, par, ch);
        return field;
    }
    }
    Q_UNREACHABLE();
    return nullptr;
}

TablePanel::Cell &TablePanel::cellOf(const Column &c)
{
    const QString array = QString::fromLatin1(c.array);
    for (Cell &cell : m_cells) {
        if (cell.array == array) {
            Q_ASSERT(cell.kind == c.kind && cell.par == QLatin1String(c.par));
            return cell;
        }
    }
    m_cells.push_back({c.kind, array, QString::fromLatin1(c.heading), QString::fromLatin1(c.par),
                       QString::fromLatin1(c.unit), {}});
    return m_cells.back();
}
