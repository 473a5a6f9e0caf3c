// The queue that carries repaired text to the XML check on its own thread.
#pragma once

#include "engine/text_place.h"

#include <QByteArray>
#include <QByteArrayView>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

namespace quillmend::engine {

/// One piece of a UTF-8 text, and the place of its first character.
struct TextPiece {
    QByteArray bytes;
    TextPlace from;
};

/// Pieces of a text handed from one thread to another, in order. At most
/// `maxWaitingBytes` wait at a time (or one piece, where it is larger): the
/// giving thread waits while the queue is full, so memory stays bounded
/// whatever the size of the text.
class PieceQueue {
public:
    explicit PieceQueue(qsizetype maxWaitingBytes);

    /// Queues a copy of `piece`, which starts at `from`, made in the room of
    /// a piece given back where there is one. Dropped once the taker has
    /// stopped.
    void give(QByteArrayView piece, const TextPlace& from);
    /// Takes back the bytes of a piece that the taker is done with, so that
    /// their room carries the next piece: fresh memory for each piece costs
    /// the system a page fault for every 4 KiB of text. At most two are kept.
    void giveBack(QByteArray spent);
    /// No piece follows.
    void close();
    /// The next piece; nothing once the queue is closed and empty, or stopped.
    std::optional<TextPiece> take();
    /// Takes no more: waiting and later pieces are dropped.
    void stop();
    bool stopped() const;

private:
    const qsizetype m_maxWaitingBytes;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<TextPiece> m_pieces;
    std::vector<QByteArray> m_spent;
    qsizetype m_waitingBytes = 0;
    bool m_closed = false;
    bool m_stopped = false;
};

} // namespace quillmend::engine
