// The recovery arithmetic over files, in bounded memory and on both cores: for a stripe (a
// byte range of the slices) every output slice's range is built from that range of every
// input slice, handed to a sink, and the next stripe follows. Two threads split each stripe
// by columns, so neither waits for the other until the stripe is done. Creating recovery
// data and rebuilding lost slices are both this sum, with different coefficients.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "recovery/keep_going.h"
#include "recovery/recovery_matrix.h"
#include "recovery/recovery_status.h"

namespace recovery {

// A byte range of a file that takes part as one slice; the slice's bytes past `length` are
// zeros.
struct SliceLocation {
    std::string path;
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

struct AccumulationJob {
    std::uint64_t sliceSize = 0;
    // The input slices and their indices in the set.
    std::vector<SliceLocation> inputs;
    std::vector<std::uint32_t> inputIndices;
    // One output per exponent: the sum of every input times its coefficient for the exponent.
    std::vector<std::uint32_t> exponents;
    // Empty, or one per output: what the output starts from instead of zeros.
    std::vector<SliceLocation> startFrom;
    // Empty, or outputs x outputs, row-major: finally output m becomes the sum over j of
    // finish[m][j] times output j.
    std::vector<std::uint16_t> finish;
    // With `finish` empty, a solution of consecutive exponents (constants not empty): finally
    // the outputs are solved in place as SolveConsecutive does.
    Solution consecutive;
    // What the output buffers and the input batches may take together.
    std::uint64_t memoryBudget = std::uint64_t{192} << 20;
};

class StripedAccumulator {
public:
    enum class Outcome { kDone, kReadFailed, kSinkFailed, kStopped, kNoMemory };

    // Gets each finished stripe: the outputs' bytes [offset, offset + width) of the slice.
    // False stops the work (the sink says why to its own caller).
    using Sink = std::function<bool(std::uint64_t offset,
                                    std::size_t width,
                                    const std::vector<const std::uint8_t*>& outputs)>;

    // Runs `job`; on kReadFailed, `failedPath` and `reason` tell which file and why.
    Outcome Run(const AccumulationJob& job,
                const Sink& sink,
                const KeepGoing& keepGoing,
                std::string* failedPath,
                std::string* reason);

    // What an outcome means to the caller of a recovery operation: `failedPath` and `reason`
    // as Run left them, `what` the file named when the work stopped or found no memory.
    static Status StatusOf(Outcome outcome,
                           const std::string& failedPath,
                           const std::string& reason,
                           const std::string& what);

    // The stripe width Run takes for `outputs` output slices of `sliceSize` bytes.
    static std::size_t StripeWidth(std::uint64_t sliceSize,
                                   std::size_t outputs,
                                   std::uint64_t memoryBudget);
};

}  // namespace recovery
