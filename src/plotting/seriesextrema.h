#pragma once

#include <QtGlobal>
#include <algorithm>
#include <deque>
#include <limits>
#include <optional>
#include <utility>

// The smallest and largest value of any stretch of a series that grows at the
// end and shrinks at the front, without visiting every value: each block of
// Block values keeps its extremes, so a query reads whole blocks and at most
// two partial ones value by value. Positions count from the oldest kept value.
// NaN values are skipped.
class SeriesExtrema
{
public:
    static constexpr qsizetype Block = 256;

    void append(double value)
    {
        const qsizetype at = m_skip + m_count++;
        if (at % Block == 0)
            m_blocks.emplace_back();
        m_blocks.back().take(value);
    }

    void dropFront(qsizetype n)
    {
        m_count -= std::min(n, m_count);
        m_skip += n;
        if (m_count == 0) {
            clear();
            return;
        }
        for (; m_skip >= Block; m_skip -= Block)
            m_blocks.pop_front();
    }

    void clear()
    {
        m_blocks.clear();
        m_skip = 0;
        m_count = 0;
    }

    qsizetype size() const { return m_count; }

    // Extremes of positions [from, to); valueAt(i) reads the value at position i.
    template <typename ValueAt>
    std::optional<std::pair<double, double>> range(qsizetype from, qsizetype to, ValueAt &&valueAt) const
    {
        Span s;
        const qsizetype end = std::min(to, m_count) + m_skip;
        for (qsizetype at = std::max<qsizetype>(from, 0) + m_skip; at < end;) {
            if (at % Block == 0 && at + Block <= end) {
                s.take(m_blocks[static_cast<size_t>(at / Block)]);
                at += Block;
            } else {
                s.take(valueAt(at++ - m_skip));
            }
        }
        if (s.low > s.high)
            return std::nullopt;
        return std::make_pair(s.low, s.high);
    }

private:
    struct Span
    {
        double low = std::numeric_limits<double>::infinity();   // smallest value seen
        double high = -std::numeric_limits<double>::infinity(); // largest value seen

        void take(double v)
        {
            if (v < low)
                low = v;
            if (v > high)
                high = v;
        }
        void take(const Span &other)
        {
            low = std::min(low, other.low);
            high = std::max(high, other.high);
        }
    };

    std::deque<Span> m_blocks; // extremes per block; the first may hold dropped values
    qsizetype m_skip = 0;      // values dropped from the first block
    qsizetype m_count = 0;     // values kept
};
