#pragma once

#include "lib.h"

#include <QString>
#include <memory>
#include <vector>

// One trace of a graph window: which parameter of which channel it shows,
// against which value-axis format, and in which colour. Plain data: the
// setters store what they are given.
class HVPlot
{
public:
    void setColor(Lib::OleColor vData) { m_color = vData; }
    Lib::OleColor Color() const { return m_color; }
    void setBoard(qint16 vData) { m_board = vData; }
    qint16 Board() const { return m_board; }
    void setChannel(qint16 vData) { m_channel = vData; }
    qint16 Channel() const { return m_channel; }
    void setParUnit(const QString &vData) { m_parUnit = vData; }
    QString ParUnit() const { return m_parUnit; }
    void setParName(const QString &vData) { m_parName = vData; }
    QString ParName() const { return m_parName; }

private:
    QString m_parName;          // crate's parameter name, e.g. "VMon"
    QString m_parUnit;          // number format of the trace's value axis, e.g. k"V"
    qint16 m_channel = 0;       // channel within the board
    qint16 m_board = 0;         // slot of the board
    Lib::OleColor m_color = 0;  // 0x00BBGGRR
};

using HVPlotRef = std::shared_ptr<HVPlot>;

// The ordered traces of one graph window. Positions are 1-based and dense;
// an item may carry a unique text key. Items are shared: a caller's reference
// stays valid after removal. Bad positions and unknown keys throw
// std::out_of_range, a duplicate key std::invalid_argument; on any error the
// collection is unchanged.
class HVPlots
{
public:
    HVPlotRef Add(const QString &ParName, qint16 Channel, qint16 Board, const QString &ParUnit,
                  Lib::OleColor Color, const QString &sKey = QString());
    HVPlotRef Item(int position) const;
    HVPlotRef Item(const QString &key) const;
    int Count() const { return static_cast<int>(m_items.size()); }
    void Remove(int position);
    void Remove(const QString &key);

    // Visits every trace first to last; the snapshot stays valid while the list changes.
    std::vector<HVPlotRef> NewEnum() const;
    auto begin() const { return m_items.cbegin(); }
    auto end() const { return m_items.cend(); }

private:
    std::size_t indexOf(int position) const;
    std::size_t indexOf(const QString &key) const;

    std::vector<HVPlotRef> m_items; // traces in order
    std::vector<QString> m_keys;    // key of the item at the same index; empty when it has none
};

namespace Lib {
// The first palette colour, in index order, that no trace of the list uses;
// black when all twelve are taken.
OleColor NextFreeColor(const HVPlots &plots);
} // namespace Lib
