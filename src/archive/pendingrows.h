#pragma once

#include <QtGlobal>
#include <deque>
#include <mutex>
#include <vector>

// Rows waiting for the archive's worker: any thread pushes, the worker takes a
// batch for one transaction and either drops it (committed) or puts it back in
// front (rolled back). While the file cannot be written the rows wait here, up
// to `limit`; beyond it the oldest go, and are counted.
template <typename Row>
class PendingRows
{
public:
    explicit PendingRows(std::size_t limit = 100000) : m_limit(limit) {}

    // Returns whether the queue was empty before (the worker may need waking).
    bool push(Row row)
    {
        std::lock_guard lock(m_mutex);
        const bool wasEmpty = m_rows.empty() && m_batch.empty();
        m_rows.push_back(std::move(row));
        if (m_rows.size() + m_batch.size() > m_limit) {
            m_rows.pop_front();
            ++m_dropped;
        }
        return wasEmpty;
    }
    bool isEmpty() const
    {
        std::lock_guard lock(m_mutex);
        return m_rows.empty() && m_batch.empty();
    }
    std::size_t size() const
    {
        std::lock_guard lock(m_mutex);
        return m_rows.size() + m_batch.size();
    }
    qint64 dropped() const
    {
        std::lock_guard lock(m_mutex);
        return m_dropped;
    }

    // Visits every waiting row, oldest first, under the lock.
    template <typename F>
    void forEach(F &&f) const
    {
        std::lock_guard lock(m_mutex);
        for (const Row &r : m_batch)
            f(r);
        for (const Row &r : m_rows)
            f(r);
    }

    // The worker's side: the batch to write now (what was taken and not yet committed, then the newer rows).
    const std::vector<Row> &takeBatch()
    {
        std::lock_guard lock(m_mutex);
        for (Row &r : m_rows)
            m_batch.push_back(std::move(r));
        m_rows.clear();
        return m_batch;
    }
    void committed()
    {
        std::lock_guard lock(m_mutex);
        m_batch.clear();
    }

private:
    mutable std::mutex m_mutex; // guards everything below
    std::deque<Row> m_rows;     // pushed, not yet taken
    std::vector<Row> m_batch;   // taken by the worker, not yet committed
    std::size_t m_limit;        // rows kept at most while the file cannot be written
    qint64 m_dropped = 0;       // rows let go beyond the limit
};
