// What a recovery operation ended with: success, or which kind of failure, on which file,
// and why, in words for a one-line message "secanto: PATH: reason".
#pragma once

#include <string>

namespace recovery {

enum class Failure {
    kNone,
    kBadRequest,    // arguments that cannot make a set (too many slices, a bad name, ...)
    kSource,        // a piece could not be read
    kRecoveryData,  // no usable recovery set, or its data could not be read
    kTarget,        // a recovery file or a rebuilt piece could not be written
    kNotEnough,     // too few recovery slices for what is lost; nothing was changed
    kStopped,       // the caller said to stop
};

struct Status {
    Failure failure = Failure::kNone;
    std::string path;
    std::string reason;

    bool Ok() const { return failure == Failure::kNone; }
    static Status Fail(Failure failure, std::string path, std::string reason) {
        return Status{failure, std::move(path), std::move(reason)};
    }
};

}  // namespace recovery
