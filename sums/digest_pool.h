// One reader feeding several consumers of the same bytes on every core. The reader (the
// job's copy loop, or the verify audit's read loop) reads straight into the pool's buffers
// and hands each over once read; the consumers read it in place, and it is filled again once
// each is done with it. A consumer cuts the bytes into segments, each piece or each whole,
// and keeps one sink per segment: the segments of a consumer follow each other in order,
// while different segments, of one consumer or of several, are worked on at once by the
// pool's threads. So the digests of the pieces are made in parallel, and the whole's on a
// stream of its own beside them. The reader never waits idle while there is work it may do:
// when every buffer is in use, or while it waits for a result, it works on a segment itself.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sums/segment_sink.h"

namespace sums {

class DigestPool {
public:
    // The segments of a consumer: every piece (from one EndPiece to the next), or every
    // whole (from one EndWhole to the next).
    enum class Span { kPiece, kWhole };
    using MakeSink = std::function<std::unique_ptr<SegmentSink>()>;

    DigestPool();
    // Stops the pool and waits for its threads.
    ~DigestPool();
    DigestPool(const DigestPool&) = delete;
    DigestPool& operator=(const DigestPool&) = delete;

    // Adds a consumer, before the first byte: `make` makes its sinks. Returns its number, by
    // which its results are asked for.
    int AddConsumer(Span span, MakeSink make);
    // Makes the buffers and starts the threads, one fewer than the processor has cores (the
    // reader works on the last one), and no more than there is work for; false, with the
    // reason, when they could not be made.
    bool Start(std::string* reason);

    // The reader's side, one thread, after Start. Lend gives the buffer to read the next
    // bytes into, `*size` bytes long, waiting while every buffer is in use. Add hands bytes
    // over: read into the lent buffer from its start, they are taken where they are (only
    // the reader fills buffers, so it may go on writing them out from there until it asks
    // for the next); others are copied. The ends return their number: 1 for the first piece (or
    // whole) ended, and so on.
    char* Lend(std::size_t* size);
    void Add(const char* data, std::size_t size);
    int EndPiece();
    int EndWhole();

    // What consumer `consumer` computed for its segment `number`, waiting for it (the reader
    // works meanwhile, so only the reader may ask while bytes are still to come). False when
    // the segment failed (Failure says why) or the pool was stopped first.
    bool Result(int consumer, int number, std::string* result);
    std::string Failure();

    // Drops the work not done and ends every wait with failure; from any thread.
    void Stop();

private:
    struct Buffer {
        std::unique_ptr<char[]> data;
        std::size_t size = 0;
        bool pieceEnd = false;
        bool wholeEnd = false;
    };
    struct Consumer {
        Span span;
        MakeSink make;
        bool open = false;  // reader only: a segment of it is under way
        int ended = 0;      // reader only: segments ended so far
        std::vector<std::unique_ptr<SegmentSink>> spare;  // sinks of ended segments
    };
    // One consumer's segment in flight: it has read the buffers before `next`.
    struct Segment {
        int consumer = 0;
        Span span = Span::kPiece;
        int number = 0;
        std::uint64_t next = 0;
        bool held = false;  // a thread is working on it
        std::unique_ptr<SegmentSink> sink;
    };
    struct Outcome {
        bool done = false;
        bool good = false;
        std::string value;
    };

    // The buffer the reader fills, made free first; false when the pool was stopped.
    bool Filling();
    // Publishes the buffer being filled.
    void Publish();
    // Buffers published that someone still needs; under the lock.
    std::uint64_t InUse() const;
    // Under the lock: the oldest segment with a published buffer to read and nobody on it.
    Segment* NextWork();
    // Under the lock: a segment not taken that may share the pass over `segment`'s next
    // buffer with it, over the same buffer or its own as long.
    Segment* Partner(const Segment& segment);
    // Feeds segment `segment` its next buffer, and a partner where it has one its own,
    // unlocking meanwhile.
    void Work(Segment* segment, std::unique_lock<std::mutex>& guard);
    // The reader, under the lock: works on segments, or waits for the workers, until
    // `ready()` or the pool is stopped.
    void HelpUntil(std::unique_lock<std::mutex>& guard, const std::function<bool()>& ready);
    // Under the lock: `segment` has read buffer `at`, and ended with `outcome` if it is done.
    void Moved(Segment* segment, std::uint64_t at, Outcome outcome, const std::string& reason);
    void WorkerMain();

    std::vector<Buffer> m_buffers;
    std::vector<Consumer> m_consumers;
    std::mutex m_lock;
    std::condition_variable m_work;    // the threads wait here for buffers
    std::condition_variable m_reader;  // the reader waits here for room or results
    int m_idle = 0;                    // threads waiting for buffers
    int m_waiters = 0;                 // threads waiting for room or results
    bool m_stop = false;
    // Buffer n lives in m_buffers[n % size]. Those before m_published are readable; the
    // reader fills m_published while m_filling.
    std::uint64_t m_published = 0;
    bool m_filling = false;  // reader only
    bool m_lent = false;     // reader only: the buffer being filled is lent out
    // Ends published, written by the reader under the lock; and the ends it was asked for.
    int m_piecesEnded = 0;
    int m_wholesEnded = 0;
    int m_piecesAsked = 0;                             // reader only
    int m_wholesAsked = 0;                             // reader only
    std::vector<std::unique_ptr<Segment>> m_segments;  // in flight, oldest first
    std::vector<std::vector<Outcome>> m_results;       // by consumer, by number - 1
    std::string m_failure;                             // the first failure
    std::vector<std::thread> m_threads;
};

}  // namespace sums
