// Each thread owns half of every stripe's columns: it reads that half of each input slice
// in batches, multiplies it into its half of the outputs block by block so that a block of
// every output stays in the cache while the batch passes through it, and applies the
// finishing matrix to its half. The caller's thread is one of the two and alone asks
// whether to go on; the other sees its answer through a flag.
#include "recovery/striped_accumulator.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <thread>

#include "platform/system_error.h"
#include "recovery/byte_source.h"
#include "recovery/region_multiply.h"
#include "recovery/slice_constants.h"

namespace recovery {

namespace {

// Input slices read per batch: each block of the outputs is loaded once per batch.
constexpr std::size_t kBatch = 8;
// The widest block of columns multiplied at once.
constexpr std::size_t kMostBlock = std::size_t{64} << 10;
constexpr std::size_t kOutputGap = std::size_t{5} * 64;
// Per thread, for the finishing step: a few columns of every output.
constexpr std::size_t kFinishScratch = std::size_t{1} << 20;

struct Worker {
    int slot = 0;           // which of the two threads: its share of the batch buffer
    std::size_t begin = 0;  // columns of the stripe, relative to its start
    std::size_t end = 0;
    bool failed = false;
    std::string failedPath;
    std::string reason;
    // Each input of a batch read through its own file, kept open from one block to the next.
    FileSource sources[kBatch];
    std::string sourcePaths[kBatch];
};

class StripeWork {
public:
    StripeWork(const AccumulationJob& job,
               std::size_t stride,
               std::uint8_t* outputs,
               std::uint8_t* batch,
               std::atomic<bool>* stop)
        : m_job(job), m_stride(stride), m_outputs(outputs), m_batch(batch), m_stop(stop) {}

    // Room the finishing step of one thread needs.
    static std::size_t FinishStep(std::size_t outputs) {
        return std::max<std::size_t>(64, (kFinishScratch / outputs) & ~std::size_t{63});
    }

    // Thread work for the columns [w.begin, w.end) of the stripe at `offset`, `width` wide;
    // `scratch` is the thread's own room for the finishing step.
    void Stripe(Worker* w,
                std::uint64_t offset,
                std::size_t width,
                const KeepGoing* keepGoing,
                std::uint8_t* scratch) {
        const std::size_t begin = std::min(w->begin, width);
        const std::size_t end = std::min(w->end, width);
        if (begin >= end) {
            return;
        }
        const std::size_t count = m_job.exponents.size();
        for (std::size_t r = 0; r < count; ++r) {
            std::uint8_t* out = m_outputs + r * m_stride + begin;
            if (m_job.startFrom.empty()) {
                std::memset(out, 0, end - begin);
            } else if (!ReadRange(w, 0, m_job.startFrom[r], offset + begin, end - begin, out)) {
                return;
            }
        }
        const std::size_t block = BlockSize(count);
        std::uint64_t sinceAsked = 0;
        // Asks the caller (on its own thread) every few MiB of work; the other thread only
        // sees the answer.
        auto goOn = [&](std::uint64_t work) {
            sinceAsked += work;
            if (sinceAsked >= kKeepGoingInterval) {
                sinceAsked = 0;
                if (keepGoing != nullptr && *keepGoing && !(*keepGoing)()) {
                    m_stop->store(true);
                }
            }
            return !m_stop->load();
        };
        // A block of each input of the batch is read just before it is multiplied in, into
        // the thread's own small buffer, so that it is still in the cache when it is used.
        std::uint8_t* const batch = m_batch + w->slot * kBatch * kMostBlock;
        std::vector<PreparedFactor> factors(kBatch * count);
        std::vector<std::uint8_t*> outputs(count);
        for (std::size_t first = 0; first < m_job.inputs.size(); first += kBatch) {
            const std::size_t inBatch = std::min(kBatch, m_job.inputs.size() - first);
            for (std::size_t k = 0; k < inBatch; ++k) {
                for (std::size_t r = 0; r < count; ++r) {
                    const std::uint16_t factor =
                        RecoveryCoefficient(m_job.inputIndices[first + k], m_job.exponents[r]);
                    // Columns too few for a vector go word by word, without the tables.
                    if (end - begin >= 64) {
                        factors[k * count + r] = PrepareFactor(factor);
                    } else {
                        factors[k * count + r].factor = factor;
                    }
                }
            }
            for (std::size_t at = begin; at < end; at += block) {
                const std::size_t size = std::min(block, end - at);
                for (std::size_t k = 0; k < inBatch; ++k) {
                    if (!ReadRange(w, k, m_job.inputs[first + k], offset + at, size,
                                   batch + k * block)) {
                        return;
                    }
                }
                for (std::size_t r = 0; r < count; ++r) {
                    outputs[r] = m_outputs + r * m_stride + at;
                }
                for (std::size_t k = 0; k < inBatch; ++k) {
                    MultiplyAccumulateMany(outputs.data(), &factors[k * count], count,
                                           batch + k * block, size);
                }
                if (!goOn(size * inBatch * (count + 1))) {
                    return;
                }
            }
        }
        if (!m_job.finish.empty()) {
            Finish(begin, end, scratch, goOn);
        } else if (!m_job.consecutive.constants.empty()) {
            SolveInPlace(begin, end, scratch, goOn);
        }
    }

    // Room the in-place solve of one thread needs.
    static constexpr std::size_t kSolveStep = std::size_t{64} << 10;

private:
    static std::size_t BlockSize(std::size_t outputs) {
        // A block of every output within about 1 MiB of cache, in whole vectors.
        std::size_t block = (std::size_t{1} << 20) / (outputs + 1);
        block = std::max<std::size_t>(4096, std::min<std::size_t>(block, kMostBlock));
        return block & ~std::size_t{63};
    }

    // Output m becomes the sum over j of finish[m][j] times output j, a step at a time.
    template <typename GoOn>
    void Finish(std::size_t begin, std::size_t end, std::uint8_t* scratch, GoOn& goOn) {
        const std::size_t count = m_job.exponents.size();
        const std::size_t step = FinishStep(count);
        for (std::size_t at = begin; at < end; at += step) {
            const std::size_t size = std::min(step, end - at);
            std::memset(scratch, 0, size * count);
            for (std::size_t m = 0; m < count; ++m) {
                for (std::size_t j = 0; j < count; ++j) {
                    MultiplyAccumulate(scratch + m * size, m_outputs + j * m_stride + at, size,
                                       m_job.finish[m * count + j]);
                }
                if (!goOn(size * count)) {
                    return;
                }
            }
            for (std::size_t m = 0; m < count; ++m) {
                std::memcpy(m_outputs + m * m_stride + at, scratch + m * size, size);
            }
        }
    }

    // The outputs solved in place, a step of columns at a time.
    template <typename GoOn>
    void SolveInPlace(std::size_t begin, std::size_t end, std::uint8_t* scratch, GoOn& goOn) {
        const std::size_t count = m_job.exponents.size();
        std::vector<std::uint8_t*> rows(count);
        for (std::size_t at = begin; at < end; at += kSolveStep) {
            const std::size_t size = std::min(kSolveStep, end - at);
            for (std::size_t r = 0; r < count; ++r) {
                rows[r] = m_outputs + r * m_stride + at;
            }
            if (!SolveConsecutive(m_job.consecutive, rows.data(), size, scratch, goOn)) {
                return;
            }
        }
    }

    // The slice's bytes [from, from + size) into `out`, zeros past its length, through the
    // worker's file `file`.
    bool ReadRange(Worker* w,
                   std::size_t file,
                   const SliceLocation& slice,
                   std::uint64_t from,
                   std::size_t size,
                   std::uint8_t* out) {
        std::size_t present = 0;
        if (from < slice.length) {
            present = static_cast<std::size_t>(std::min<std::uint64_t>(size, slice.length - from));
        }
        if (present > 0) {
            std::string& path = w->sourcePaths[file];
            if (path != slice.path) {
                path.clear();
                if (w->sources[file].Open(slice.path)) {
                    path = slice.path;
                }
            }
            if (path.empty() || !w->sources[file].ReadAt(slice.offset + from, out, present)) {
                w->failed = true;
                w->failedPath = slice.path;
                w->reason = platform::LastSystemError();
                m_stop->store(true);
                return false;
            }
        }
        std::memset(out + present, 0, size - present);
        return true;
    }

    const AccumulationJob& m_job;
    const std::size_t m_stride;
    std::uint8_t* const m_outputs;
    std::uint8_t* const m_batch;
    std::atomic<bool>* const m_stop;
};

}  // namespace

std::size_t StripedAccumulator::StripeWidth(std::uint64_t sliceSize,
                                            std::size_t outputs,
                                            std::uint64_t memoryBudget) {
    const std::uint64_t perColumn = outputs + kBatch;
    std::uint64_t width = std::min<std::uint64_t>(sliceSize, memoryBudget / perColumn);
    width &= ~std::uint64_t{3};
    return static_cast<std::size_t>(std::max<std::uint64_t>(width, 4));
}

StripedAccumulator::Outcome StripedAccumulator::Run(const AccumulationJob& job,
                                                    const Sink& sink,
                                                    const KeepGoing& keepGoing,
                                                    std::string* failedPath,
                                                    std::string* reason) {
    const std::size_t count = job.exponents.size();
    const std::size_t width = StripeWidth(job.sliceSize, count, job.memoryBudget);
    // Each output a few cache lines further than its width from the one before, so that the
    // same columns of every output do not all fall in the same sets of the cache.
    const std::size_t stride = width + kOutputGap;
    std::unique_ptr<std::uint8_t[]> outputs(new (std::nothrow) std::uint8_t[count * stride]);
    // A batch's block of inputs per thread.
    std::unique_ptr<std::uint8_t[]> batch(new (std::nothrow) std::uint8_t[2 * kBatch * kMostBlock]);
    std::unique_ptr<std::uint8_t[]> scratch;
    const bool finishes = !job.finish.empty() || !job.consecutive.constants.empty();
    const std::size_t scratchSize = count == 0            ? 0
                                    : !job.finish.empty() ? StripeWork::FinishStep(count) * count
                                                          : StripeWork::kSolveStep;
    if (finishes) {
        scratch.reset(new (std::nothrow) std::uint8_t[2 * scratchSize]);
    }
    if (!outputs || !batch || (finishes && !scratch)) {
        return Outcome::kNoMemory;
    }
    std::atomic<bool> stop{false};
    StripeWork run(job, stride, outputs.get(), batch.get(), &stop);
    std::vector<const std::uint8_t*> views(count);
    for (std::size_t r = 0; r < count; ++r) {
        views[r] = outputs.get() + r * stride;
    }
    for (std::uint64_t offset = 0; offset < job.sliceSize; offset += width) {
        const std::size_t stripe =
            static_cast<std::size_t>(std::min<std::uint64_t>(width, job.sliceSize - offset));
        // Halves on 64-byte boundaries, so that both threads run whole vectors.
        const std::size_t half = (stripe / 2 + 63) & ~std::size_t{63};
        Worker workers[2];
        workers[0].end = std::min(half, stripe);
        workers[1].slot = 1;
        workers[1].begin = workers[0].end;
        workers[1].end = stripe;
        std::thread helper;
        bool helperStarted = false;
        if (workers[1].begin < workers[1].end) {
            try {
                helper = std::thread([&] {
                    run.Stripe(&workers[1], offset, stripe, nullptr,
                               scratch ? scratch.get() + scratchSize : nullptr);
                });
                helperStarted = true;
            } catch (...) {
                workers[0].end = stripe;  // no second thread: this one does it all
            }
        }
        run.Stripe(&workers[0], offset, stripe, &keepGoing, scratch.get());
        if (helperStarted) {
            helper.join();
        }
        for (const Worker& w : workers) {
            if (w.failed) {
                *failedPath = w.failedPath;
                *reason = w.reason;
                return Outcome::kReadFailed;
            }
        }
        if (stop.load()) {
            return Outcome::kStopped;
        }
        if (!sink(offset, stripe, views)) {
            return Outcome::kSinkFailed;
        }
        if (keepGoing && !keepGoing()) {
            return Outcome::kStopped;
        }
    }
    return Outcome::kDone;
}

Status StripedAccumulator::StatusOf(Outcome outcome,
                                    const std::string& failedPath,
                                    const std::string& reason,
                                    const std::string& what) {
    switch (outcome) {
        case Outcome::kDone:
            return Status();
        case Outcome::kReadFailed:
            return Status::Fail(Failure::kSource, failedPath, reason);
        case Outcome::kSinkFailed:
            return Status::Fail(Failure::kTarget, failedPath, reason);
        case Outcome::kStopped:
            return Status::Fail(Failure::kStopped, what, "stopped");
        case Outcome::kNoMemory:
            break;
    }
    return Status::Fail(Failure::kTarget, what, "out of memory");
}

}  // namespace recovery
