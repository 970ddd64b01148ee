#include "hvplots.h"

#include <algorithm>
#include <stdexcept>

HVPlotRef HVPlots::Add(const QString &ParName, qint16 Channel, qint16 Board, const QString &ParUnit,
                       Lib::OleColor Color, const QString &sKey)
{
    if (!sKey.isEmpty() && std::find(m_keys.begin(), m_keys.end(), sKey) != m_keys.end())
        throw std::invalid_argument("a trace with the key \"" + sKey.toStdString() + "\" already exists");
    auto plot = std::make_shared<HVPlot>();
    plot->setParName(ParName);
    plot->setParUnit(ParUnit);
    plot->setChannel(Channel);
    plot->setBoard(Board);
    plot->setColor(Color);
    m_items.push_back(plot);
    m_keys.push_back(sKey);
    return plot;
}

std::size_t HVPlots::indexOf(int position) const
{
    if (position < 1 || position > Count())
        throw std::out_of_range("trace position " + std::to_string(position) + " is outside 1 to "
                                + std::to_string(Count()));
    return static_cast<std::size_t>(position - 1);
}

std::size_t HVPlots::indexOf(const QString &key) const
{
    const auto it = key.isEmpty() ? m_keys.end() : std::find(m_keys.begin(), m_keys.end(), key);
    if (it == m_keys.end())
        throw std::out_of_range("no trace has the key \"" + key.toStdString() + "\"");
    return static_cast<std::size_t>(it - m_keys.begin());
}

HVPlotRef HVPlots::Item(int position) const
{
    return m_items[indexOf(position)];
}

HVPlotRef HVPlots::Item(const QString &key) const
{
    return m_items[indexOf(key)];
}

void HVPlots::Remove(int position)
{
    const auto i = static_cast<std::ptrdiff_t>(indexOf(position));
    m_items.erase(m_items.begin() + i);
    m_keys.erase(m_keys.begin() + i);
}

void HVPlots::Remove(const QString &key)
{
    const auto i = static_cast<std::ptrdiff_t>(indexOf(key));
    m_items.erase(m_items.begin() + i);
    m_keys.erase(m_keys.begin() + i);
}

std::vector<HVPlotRef> HVPlots::NewEnum() const
{
    return m_items;
}

namespace Lib {
OleColor NextFreeColor(const HVPlots &plots)
{
    for (int i = 0; i < PaletteSize; ++i) {
        const OleColor candidate = paletteColor(i);
        const bool used = std::any_of(plots.begin(), plots.end(),
                                      [candidate](const HVPlotRef &p) { return p->Color() == candidate; });
        if (!used)
            return candidate;
    }
    return Black;
}
} // namespace Lib
