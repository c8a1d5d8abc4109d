// The split job: one source file cut into numbered pieces of the piece size.
#include <vector>

#include "engine/block_copy.h"
#include "engine/folder_flush.h"
#include "engine/job_controller.h"
#include "engine/job_paths.h"
#include "platform/file.h"
#include "platform/file_system.h"

namespace {

// Forces pieces 1 to `count` down to the medium. Flushed together once they are all
// written, they cost the disk far less than a flush after each one, which waits for every
// piece in turn.
bool FlushPieces(const std::string& folder, const std::string& fileName, int count) {
    for (int number = 1; number <= count; ++number) {
        platform::File piece;
        if (!piece.Open(folder + PieceName(number, fileName),
                        platform::File::Access::kWriteExisting) ||
            !piece.Flush() || !piece.Close()) {
            return false;
        }
    }
    return true;
}

}  // namespace

void CJobController::RunSplit() {
    const std::string source = m_strSource;
    std::string target = m_strTarget;
    const std::uint32_t pieceSize = m_nPieceSize;

    platform::BufferedReader reader(platform::kFileBufferSize);
    std::uint64_t length = 0;
    if (!reader.Open(source) || !reader.Length(&length)) {
        reader.Close();
        Post(WM_JOB_DONE, JOB_SOURCE_ERROR, 0);
        return;
    }
    const std::vector<std::string> grown = CreateFolderChain(target);
    AppendSeparator(&target);
    Post(WM_JOB_RANGE, static_cast<std::uintptr_t>(length / pieceSize + 1), 1);

    const std::string fileName = reader.FileName();
    platform::BufferedWriter piece(platform::kFileBufferSize);
    char block[kBlockSize];
    int lastFinished = 0;
    for (int number = 1;; ++number) {
        if (!piece.Create(target + PieceName(number, fileName))) {
            reader.Close();
            Post(WM_JOB_DONE, JOB_TARGET_ERROR, lastFinished);
            return;
        }
        std::uint64_t copied = 0;
        const CopyEnd end = CopyBlocks(reader, piece, pieceSize, block, Hooks(), &copied);
        if (end == CopyEnd::kStopped) {
            // The piece keeps what was written to it; a stop is not a failure to report.
            piece.Close();
            reader.Close();
            PostStopped(lastFinished);
            return;
        }
        if (end == CopyEnd::kReadFailed || end == CopyEnd::kWriteFailed) {
            piece.Close();
            reader.Close();
            Post(WM_JOB_DONE, end == CopyEnd::kReadFailed ? JOB_SOURCE_ERROR : JOB_TARGET_ERROR,
                 lastFinished);
            return;
        }
        // Pieces that will be flushed before the source goes start on their way to the disk
        // as each is finished, so that the flush at the end finds most of them written.
        // Whether the source goes is decided only at the end; this just follows the box.
        if ((m_bDeleteSource && !piece.StartFlush()) || !piece.Close()) {
            reader.Close();
            Post(WM_JOB_DONE, JOB_TARGET_ERROR, lastFinished);
            return;
        }
        if (m_pJobObserver != nullptr) {
            const JobResult verdict = m_pJobObserver->PieceDone(number);
            if (verdict != JOB_OK) {
                reader.Close();
                Post(WM_JOB_DONE, verdict, lastFinished);
                return;
            }
        }
        lastFinished = number;
        Post(WM_JOB_PROGRESS, 0, number);
        if (end == CopyEnd::kSourceEnd) {
            break;
        }
    }
    // Closing a file that was only read loses nothing, so its result does not matter.
    reader.Close();
    const bool deleteSource = m_bDeleteSource;
    if (deleteSource &&
        (!FlushPieces(target, fileName, lastFinished) || !FlushFolders(target, grown))) {
        Post(WM_JOB_DONE, JOB_TARGET_ERROR, lastFinished);
        return;
    }
    if (m_pJobObserver != nullptr) {
        const JobResult verdict = m_pJobObserver->Finished(target, fileName, lastFinished);
        if (verdict != JOB_OK) {
            Post(WM_JOB_DONE, verdict, lastFinished);
            return;
        }
    }
    if (deleteSource) {
        platform::RemoveFile(m_strSource);
    }
    Post(WM_JOB_DONE, JOB_OK, lastFinished);
}
