// What a front end may watch of a job beyond its notifications: the bytes it copies, and the
// moments before it reports a piece, deletes anything or names its output. Checksums are
// written and checked here; an observer watches and vetoes, it never names files. Every call comes
// from the worker thread, which waits for it, so an observer can hold the job back until its own
// work on the bytes has caught up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/job_notifications.h"

class JobObserver {
public:
    virtual ~JobObserver() = default;

    // The join has found and checked pieces of these lengths, 1 to N, for `outputName`,
    // and has made nothing yet. JOB_OK lets it go on; another result ends the job with that
    // result.
    virtual JobResult JoinStarts(const std::string& outputName,
                                 const std::vector<std::uint64_t>& pieceLengths) {
        (void)outputName;
        (void)pieceLengths;
        return JOB_OK;
    }

    // The bytes the job copies, in order: all of piece 1, then all of piece 2, and so on.
    // `data` is valid only during the call.
    virtual void PieceBytes(const char* data, std::size_t size) = 0;

    // A buffer for the job to read the bytes it copies into, so that they reach PieceBytes
    // without being copied again: `*size` bytes, at least kBlockSize. The job hands what it
    // read there to PieceBytes from the buffer's start as soon as it is read, then writes it
    // out from there before it calls the observer again. Null (the default) lets the job read
    // through its own buffer.
    virtual char* ReadBuffer(std::size_t* size) {
        (void)size;
        return nullptr;
    }

    // False while the observer needs no bytes, so that the system may copy them itself
    // without showing them. Asked before each piece; a join asks after JoinStarts.
    virtual bool WatchesBytes() const { return true; }

    // Piece `number` has been copied whole; the split has closed it, the join has not yet
    // deleted it. JOB_OK lets the job go on; another result ends the job with that result
    // before the piece is reported.
    virtual JobResult PieceDone(int number) = 0;

    // The join's verdict on piece `number`, asked after PieceDone, once the next piece is
    // copied too (or there is none), and before the piece is reported or deleted or the
    // output named: an observer that takes time to judge lets the job copy meanwhile.
    // JOB_OK lets the job go on; another result ends the job with that result.
    virtual JobResult PieceVerdict(int number) {
        (void)number;
        return JOB_OK;
    }

    // Every piece has been copied into `folder` (split: the pieces, closed, and flushed when
    // the source is to be deleted; join: the output, flushed when staged, and closed).
    // `fileName` is the source's name (split) or the output's name (join). Called before
    // the source is deleted or a staged output renamed; a result other than JOB_OK ends the
    // job with it and nothing more is deleted.
    virtual JobResult Finished(const std::string& folder,
                               const std::string& fileName,
                               int pieces) = 0;
};
