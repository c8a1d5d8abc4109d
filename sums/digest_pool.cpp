// The buffers and the segments in flight, shared under one lock. A buffer is written only
// while nobody may read it: the reader fills only a buffer that every segment is past and
// publishes it under the lock; a segment's thread reads a published buffer without the lock,
// and the buffer is not filled again before that segment has moved past it.
#include "sums/digest_pool.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <system_error>

namespace sums {

namespace {

// As large as the writer's buffer, so that a buffer read is written out without a copy,
// and few enough that all of them stay in the processor's cache while they are hashed.
constexpr std::size_t kBufferSize = std::size_t{64} << 10;
constexpr std::size_t kBuffers = 8;
constexpr unsigned kMostThreads = 4;

}  // namespace

DigestPool::DigestPool() = default;

DigestPool::~DigestPool() {
    Stop();
    for (std::thread& thread : m_threads) {
        thread.join();
    }
}

int DigestPool::AddConsumer(Span span, MakeSink make) {
    std::lock_guard<std::mutex> guard(m_lock);
    Consumer consumer;
    consumer.span = span;
    consumer.make = std::move(make);
    m_consumers.push_back(std::move(consumer));
    m_results.emplace_back();
    return static_cast<int>(m_consumers.size() - 1);
}

bool DigestPool::Start(std::string* reason) {
    try {
        m_buffers.resize(kBuffers);
        for (Buffer& buffer : m_buffers) {
            buffer.data.reset(new char[kBufferSize]);
        }
        // The reader works on the last core. With kBuffers in flight there is work for only
        // a few segments at once: the whole, and the pieces those buffers hold.
        const unsigned cores = std::thread::hardware_concurrency();
        const unsigned threads = std::min(cores > 1 ? cores - 1 : 1, kMostThreads);
        for (unsigned i = 0; i < threads; ++i) {
            m_threads.emplace_back(&DigestPool::WorkerMain, this);
        }
    } catch (const std::system_error& error) {
        *reason = error.what();
        return false;
    } catch (const std::bad_alloc&) {
        *reason = "out of memory";
        return false;
    }
    return true;
}

void DigestPool::Stop() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stop = true;
    }
    m_work.notify_all();
    m_reader.notify_all();
}

std::uint64_t DigestPool::InUse() const {
    std::uint64_t oldest = m_published;
    for (const auto& segment : m_segments) {
        oldest = std::min(oldest, segment->next);
    }
    return m_published - oldest;
}

DigestPool::Segment* DigestPool::NextWork() {
    Segment* oldest = nullptr;
    for (const auto& segment : m_segments) {
        if (!segment->held && segment->next < m_published &&
            (oldest == nullptr || segment->next < oldest->next)) {
            oldest = segment.get();
        }
    }
    return oldest;
}

DigestPool::Segment* DigestPool::Partner(const Segment& segment) {
    // One at the same buffer shares the bytes too, and the work on them. Else two pieces, each
    // alone at its buffer, share the pass over buffers as long: that does more in all but
    // slows each of the two, so a whole, which is one stream from end to end, never takes
    // part, and a piece beside another segment at its buffer waits to share that one's.
    const Buffer& buffer = m_buffers[segment.next % m_buffers.size()];
    const auto alone = [this](const Segment& s) {
        return std::none_of(m_segments.begin(), m_segments.end(), [&s](const auto& other) {
            return other.get() != &s && other->next == s.next;
        });
    };
    Segment* partner = nullptr;
    const bool crosses = segment.span == Span::kPiece && alone(segment);
    for (const auto& other : m_segments) {
        if (other.get() == &segment || other->held || other->next >= m_published ||
            !segment.sink->SharesWith(*other->sink)) {
            continue;
        }
        if (other->next == segment.next) {
            return other.get();
        }
        if (crosses && partner == nullptr && other->span == Span::kPiece &&
            m_buffers[other->next % m_buffers.size()].size == buffer.size && alone(*other)) {
            partner = other.get();
        }
    }
    return partner;
}

void DigestPool::HelpUntil(std::unique_lock<std::mutex>& guard,
                           const std::function<bool()>& ready) {
    while (!m_stop && !ready()) {
        if (Segment* segment = NextWork()) {
            Work(segment, guard);
            continue;
        }
        ++m_waiters;
        m_reader.wait(guard);
        --m_waiters;
    }
}

void DigestPool::Work(Segment* segment, std::unique_lock<std::mutex>& guard) {
    // Another segment that can share the pass takes it together.
    Segment* const fed[2] = {segment, Partner(*segment)};
    std::uint64_t at[2] = {};
    const Buffer* buffers[2] = {};
    Outcome outcomes[2];
    std::string reasons[2];
    for (int i = 0; i < 2; ++i) {
        if (fed[i] != nullptr) {
            fed[i]->held = true;
            at[i] = fed[i]->next;
            buffers[i] = &m_buffers[at[i] % m_buffers.size()];
        }
    }
    guard.unlock();
    // A failed Add spoils the segment, and its End reports it.
    const std::size_t size = buffers[0]->size;
    if (size > 0 && fed[1] != nullptr) {
        segment->sink->AddWith(*fed[1]->sink, buffers[0]->data.get(), buffers[1]->data.get(), size);
    } else if (size > 0) {
        segment->sink->Add(buffers[0]->data.get(), size);
    }
    for (int i = 0; i < 2; ++i) {
        if (fed[i] != nullptr &&
            (fed[i]->span == Span::kPiece ? buffers[i]->pieceEnd : buffers[i]->wholeEnd)) {
            outcomes[i].done = true;
            outcomes[i].good = fed[i]->sink->End(&outcomes[i].value, &reasons[i]);
        }
    }
    guard.lock();
    for (int i = 0; i < 2; ++i) {
        if (fed[i] != nullptr) {
            Moved(fed[i], at[i], std::move(outcomes[i]), reasons[i]);
        }
    }
    if (m_waiters > 0) {
        m_reader.notify_all();
    }
}

void DigestPool::Moved(Segment* segment,
                       std::uint64_t at,
                       Outcome outcome,
                       const std::string& reason) {
    segment->held = false;
    segment->next = at + 1;
    if (!outcome.done) {
        return;
    }
    m_results[segment->consumer][segment->number - 1] = std::move(outcome);
    if (!reason.empty() && m_failure.empty()) {
        m_failure = reason;
    }
    m_consumers[segment->consumer].spare.push_back(std::move(segment->sink));
    m_segments.erase(std::find_if(m_segments.begin(), m_segments.end(),
                                  [segment](const auto& s) { return s.get() == segment; }));
}

void DigestPool::WorkerMain() {
    std::unique_lock<std::mutex> guard(m_lock);
    while (!m_stop) {
        Segment* segment = NextWork();
        if (segment == nullptr) {
            ++m_idle;
            m_work.wait(guard);
            --m_idle;
            continue;
        }
        Work(segment, guard);
    }
}

bool DigestPool::Filling() {
    if (m_filling) {
        return true;
    }
    if (m_buffers.empty()) {
        return false;  // not started
    }
    std::unique_lock<std::mutex> guard(m_lock);
    // The buffer to fill held buffer m_published - kBuffers; it is free once nobody needs
    // that one. Until then the reader works on a segment itself, or waits when all are taken.
    HelpUntil(guard, [&] { return InUse() < m_buffers.size(); });
    if (m_stop) {
        return false;
    }
    Buffer& buffer = m_buffers[m_published % m_buffers.size()];
    buffer.size = 0;
    buffer.pieceEnd = false;
    buffer.wholeEnd = false;
    m_filling = true;
    m_lent = false;
    return true;
}

void DigestPool::Publish() {
    const Buffer& buffer = m_buffers[m_published % m_buffers.size()];
    bool wake = false;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_stop) {
            m_filling = false;
            return;
        }
        // Each consumer without a segment under way starts one with this buffer.
        for (std::size_t index = 0; index < m_consumers.size(); ++index) {
            Consumer& consumer = m_consumers[index];
            const bool piece = consumer.span == Span::kPiece;
            if (!consumer.open) {
                auto segment = std::make_unique<Segment>();
                segment->consumer = static_cast<int>(index);
                segment->span = consumer.span;
                segment->number = (piece ? m_piecesEnded : m_wholesEnded) + 1;
                segment->next = m_published;
                if (consumer.spare.empty()) {
                    segment->sink = consumer.make();
                } else {
                    segment->sink = std::move(consumer.spare.back());
                    consumer.spare.pop_back();
                }
                m_results[index].resize(static_cast<std::size_t>(segment->number));
                m_segments.push_back(std::move(segment));
                consumer.open = true;
            }
            if (piece ? buffer.pieceEnd : buffer.wholeEnd) {
                consumer.open = false;
            }
        }
        m_piecesEnded += buffer.pieceEnd ? 1 : 0;
        m_wholesEnded += buffer.wholeEnd ? 1 : 0;
        ++m_published;
        wake = m_idle > 0 && !m_consumers.empty();
    }
    m_filling = false;
    if (wake) {
        m_work.notify_all();
    }
}

char* DigestPool::Lend(std::size_t* size) {
    // Bytes copied in go first, so that a lent buffer is always read into from its start.
    if (m_filling && m_buffers[m_published % m_buffers.size()].size > 0) {
        Publish();
    }
    if (!Filling()) {
        *size = 0;
        return nullptr;
    }
    m_lent = true;
    *size = kBufferSize;
    return m_buffers[m_published % m_buffers.size()].data.get();
}

void DigestPool::Add(const char* data, std::size_t size) {
    if (size == 0) {
        return;
    }
    if (m_filling && m_lent && data == m_buffers[m_published % m_buffers.size()].data.get() &&
        size <= kBufferSize) {
        m_buffers[m_published % m_buffers.size()].size = size;
        Publish();
        return;
    }
    while (size > 0) {
        if (!Filling()) {
            return;
        }
        m_lent = false;
        Buffer& buffer = m_buffers[m_published % m_buffers.size()];
        const std::size_t part = std::min(size, kBufferSize - buffer.size);
        std::memcpy(buffer.data.get() + buffer.size, data, part);
        buffer.size += part;
        data += part;
        size -= part;
        if (buffer.size == kBufferSize) {
            Publish();
        }
    }
}

int DigestPool::EndPiece() {
    if (Filling()) {
        m_buffers[m_published % m_buffers.size()].pieceEnd = true;
        Publish();
    }
    return ++m_piecesAsked;
}

int DigestPool::EndWhole() {
    if (Filling()) {
        m_buffers[m_published % m_buffers.size()].wholeEnd = true;
        Publish();
    }
    return ++m_wholesAsked;
}

bool DigestPool::Result(int consumer, int number, std::string* result) {
    std::unique_lock<std::mutex> guard(m_lock);
    const std::vector<Outcome>& outcomes = m_results[static_cast<std::size_t>(consumer)];
    const std::size_t index = static_cast<std::size_t>(number - 1);
    const int ended = m_consumers[static_cast<std::size_t>(consumer)].span == Span::kPiece
                          ? m_piecesEnded
                          : m_wholesEnded;
    // A segment not ended yet would wait for bytes that only the caller could bring.
    if (number < 1 || number > ended || index >= outcomes.size()) {
        return false;
    }
    HelpUntil(guard, [&] { return outcomes[index].done; });
    if (!outcomes[index].done || !outcomes[index].good) {
        return false;
    }
    *result = outcomes[index].value;
    return true;
}

std::string DigestPool::Failure() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_failure.empty() ? "hashing stopped" : m_failure;
}

}  // namespace sums
