// The split job: one source file cut into numbered pieces of the piece size. One run is one
// object whose steps run in order: open the source, check the names, claim and make piece 1,
// copy the pieces, flush them, let the observer finish, delete the source. Each step returns
// false once it has ended the job (and posted its end, unless the controller is being torn
// down).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/job_controller.h"
#include "platform/buffered_reader.h"
#include "platform/buffered_writer.h"
#include "platform/file.h"
#include "platform/file_claim.h"

class SplitRun {
public:
    // Takes the slot of `job`'s controller, which runs it on its worker.
    explicit SplitRun(CJobController& job);
    SplitRun(const SplitRun&) = delete;
    SplitRun& operator=(const SplitRun&) = delete;

    void Run();

private:
    using Problem = JobReport::Problem;

    bool OpenSource();
    // A name the folder cannot hold would fail only at the piece that first has it.
    bool CheckNames();
    // Piece 1 made and claimed before any other program can see it (MakeFirstPiece).
    bool MakeFirstPiece();
    bool CopyPieces();
    // Copies piece `number`; sets `last` when it is the last one.
    bool CopyPiece(int number, bool* last);
    // The pieces on the disk before the source may go.
    bool FlushPieces();
    bool FinishObserver();
    // The option read again at the moment of the deletion.
    bool DeleteSource();
    // Ends the job with `result`: both files closed, the report noted, the end posted. The
    // reason is taken before the files are closed, which may change the system's last error.
    bool Fail(JobResult result,
              Problem problem,
              const std::string& path,
              const std::string& reason = std::string());
    bool Stopped();
    std::string PiecePath(int number) const;

    CJobController& m_job;
    JobObserver* const m_observer;
    const std::string m_source;
    std::string m_target;
    std::uint64_t m_pieceSize;
    // Held open until the source is deleted: on Windows no other program can write to it or
    // delete it meanwhile.
    platform::BufferedReader m_reader;
    platform::BufferedWriter m_piece;
    platform::FileClaim m_claim;  // on piece 1, until the job ends
    platform::FileStamp m_start;
    std::string m_fileName;
    bool m_sized = false;
    std::uint64_t m_count = 0;
    std::vector<std::string> m_grown;  // the folders the split made
    std::uint64_t m_remaining = 0;
    int m_lastFinished = 0;
    bool m_flushed = false;  // the pieces were flushed for the source's deletion
};
