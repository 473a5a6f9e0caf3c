// PieceQueue: repaired text handed from the repair to the XML check's thread.
#include "engine/internal/piece_queue.h"

#include <cstring>

namespace quillmend::engine {

PieceQueue::PieceQueue(qsizetype maxWaitingBytes)
    : m_maxWaitingBytes(maxWaitingBytes)
{
}

void PieceQueue::give(QByteArrayView piece, const TextPlace& from)
{
    if (piece.isEmpty())
        return;
    // Copied before the wait: the copy is the giver's work, not the taker's.
    TextPiece copy{{}, from};
    {
        const std::lock_guard lock(m_mutex);
        if (!m_spent.empty()) {
            copy.bytes = std::move(m_spent.back());
            m_spent.pop_back();
        }
    }
    copy.bytes.resize(piece.size());
    std::memcpy(copy.bytes.data(), piece.data(), std::size_t(piece.size()));
    std::unique_lock lock(m_mutex);
    m_changed.wait(
        lock, [&] { return m_stopped || m_pieces.empty() || m_waitingBytes + copy.bytes.size() <= m_maxWaitingBytes; });
    if (m_stopped)
        return;
    m_waitingBytes += copy.bytes.size();
    m_pieces.push_back(std::move(copy));
    m_changed.notify_all();
}

void PieceQueue::giveBack(QByteArray spent)
{
    const std::lock_guard lock(m_mutex);
    if (m_spent.size() < 2)
        m_spent.push_back(std::move(spent));
}

void PieceQueue::close()
{
    const std::lock_guard lock(m_mutex);
    m_closed = true;
    m_changed.notify_all();
}

std::optional<TextPiece> PieceQueue::take()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_stopped || m_closed || !m_pieces.empty(); });
    if (m_stopped || m_pieces.empty())
        return std::nullopt;
    TextPiece piece = std::move(m_pieces.front());
    m_pieces.pop_front();
    m_waitingBytes -= piece.bytes.size();
    m_changed.notify_all();
    return piece;
}

void PieceQueue::stop()
{
    const std::lock_guard lock(m_mutex);
    m_stopped = true;
    m_pieces.clear();
    m_waitingBytes = 0;
    m_changed.notify_all();
}

bool PieceQueue::stopped() const
{
    const std::lock_guard lock(m_mutex);
    return m_stopped;
}

} // namespace quillmend::engine
