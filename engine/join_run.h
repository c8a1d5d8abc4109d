// The join job: the numbered pieces in a folder appended, in number order, to one file; or,
// after a join with delete-after-use stopped, the pieces left appended to what it made. One
// run is one object whose steps run in order: plan the set, check what a partial output
// keeps, open the output, copy, judge each piece, delete, finish. Each step returns false
// once it has ended the job (and posted its end, unless the controller is being torn down).
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "engine/block_copy.h"
#include "engine/deletion_batch.h"
#include "engine/job_controller.h"
#include "engine/piece_listing.h"
#include "engine/piece_set.h"
#include "platform/buffered_reader.h"
#include "platform/buffered_writer.h"
#include "platform/file.h"
#include "platform/file_claim.h"

class JoinRun {
public:
    // Takes the slot of `job`'s controller, which runs it on its worker.
    explicit JoinRun(CJobController& job);
    JoinRun(const JoinRun&) = delete;
    JoinRun& operator=(const JoinRun&) = delete;

    void Run();

private:
    using Problem = JobReport::Problem;

    // A piece copied whole, waiting for the observer's verdict.
    struct Joined {
        int number;
        std::string path;
        std::uint64_t length;
        std::uint64_t end;  // where its last byte ends in the output
    };
    // One of the last two pieces, deleted only once the output is whole.
    struct LastPiece {
        int number;
        std::string path;
        bool deleting;  // the option was on when it was joined
    };

    // Planning the set, before anything is made. The pieces are claimed before they are
    // listed: a split that writes them holds the claim until it ends.
    bool ChooseName();
    bool ClaimPieces();
    // The front end's work before the pieces are listed (JoinFolderWork).
    bool PrepareFolder();
    bool ListSet();
    bool FindPartialOutput();
    // The file of the output's name holds the whole file (ContinueProbe::whole).
    bool FindWholeOutput();
    bool MeasurePieces();
    // The pieces a partial output keeps, read back from it as if they were joined now.
    bool CheckKept();
    bool CheckKeptPiece(int number, platform::BufferedReader& held, std::uint64_t* at);
    bool JudgeKept(std::size_t keep);
    // The output made or cut back, claimed, and the range posted.
    bool OpenOutput();
    bool CopyPieces();
    bool CopyPiece(int number);
    // The pieces copied whole whose verdict is due: all of them, or all but the last `keep`.
    bool JudgeWaiting(std::size_t keep);
    // What happens to a piece once the observer has judged it: a batch for deletion, the
    // last two held back, or a report.
    bool Place(const Joined& piece);
    // Deletes the batch waiting, once the output is durable past it and still where it was
    // written, or lets it go undeleted when the option was turned off meanwhile.
    bool Settle();
    // The output flushed, accepted and named, the last pieces deleted, the end posted.
    void Finish();
    void FinishWhole();
    bool NameOutput(platform::FileStamp* written);
    void DeleteLastPieces(const platform::FileStamp& written);
    // A last piece was joined while the option was on.
    bool DeletingLast() const;

    // Ends the job early with `result`: see End().
    bool Fail(JobResult result,
              Problem problem,
              const std::string& path,
              const std::string& reason = std::string());
    bool Stop();
    // An early end while pieces copied whole still wait for their verdict: those that would
    // only have been reported are judged and reported first. One that would have waited for
    // deletion stays, with every one after it: nothing more is deleted now.
    bool FailAfterWaiting(JobResult result,
                          Problem problem,
                          const std::string& path,
                          const std::string& reason);
    // Every end once the output is open closes it, cut back as the batch allows, and after a
    // check that failed to the end of the last piece that passed.
    bool End(bool stopped,
             JobResult result,
             Problem problem,
             const std::string& path,
             const std::string& reason);
    // What the batch's deleting thread met, once it has done its work.
    void NoteNotDeleted();
    // Piece `number` is finished: reported, from this thread or the batch's.
    void Report(int number);
    std::string PiecePath(int number) const;

    CJobController& m_job;
    const JoinOptions m_options;
    JobObserver* const m_observer;
    std::string m_source;        // with a final separator
    const std::string m_target;  // as given, for the folders to make
    std::string m_targetFolder;  // with a final separator

    // The set.
    PieceListing m_listing;
    std::string m_outputName;
    std::string m_outputPath;
    std::string m_writtenPath;  // the staged output, or the output itself
    std::vector<int> m_numbers;
    std::vector<std::uint64_t> m_present;  // the lengths of the pieces in m_numbers
    platform::FileClaim m_reading;         // shared with other joins, kept from splits
    platform::FileClaim m_claim;           // on the output written
    platform::FileClaim::Outcome m_claimed = platform::FileClaim::Outcome::kGone;
    platform::FileStamp m_partial;
    bool m_partialThere = false;
    bool m_goOn = false;   // goes on from a partial output
    bool m_whole = false;  // ... that holds the whole file: only the pieces left go
    int m_missing = 0;     // the pieces it holds that are gone from the folder
    ContinuedJoin m_plan;
    std::vector<std::uint64_t> m_lengths;  // of pieces 1 to m_plan.count
    std::uint64_t m_keptBytes = 0;
    std::uint64_t m_toCopy = 0;

    // The copy.
    std::vector<std::string> m_grown;  // folders made, for FlushFolders
    platform::BufferedReader m_piece;
    platform::BufferedWriter m_output;
    char m_block[kBlockSize];
    std::uint64_t m_written = 0;  // bytes of the pieces joined
    bool m_foldersFlushed = false;
    std::deque<int> m_unjudgedKept;
    std::deque<Joined> m_waiting;
    std::vector<LastPiece> m_lastPieces;
    // Reported from this thread and from the batch's deleting one, in number order.
    std::atomic<int> m_lastFinished{0};
    DeletionBatch m_batch;  // after m_lastFinished, which its thread reports to
};
