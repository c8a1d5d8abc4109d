// The forwarding, first observer then second, stopping at the first that says no.
#include "cli/observer_pair.h"

namespace cli {

JobResult ObserverPair::JoinStarts(const std::string& outputName,
                                   const std::vector<std::uint64_t>& pieceLengths) {
    const JobResult first = m_first->JoinStarts(outputName, pieceLengths);
    return first != JOB_OK ? first : m_second->JoinStarts(outputName, pieceLengths);
}

char* ObserverPair::ReadBuffer(std::size_t* size) {
    if (m_first->WatchesBytes()) {
        return m_first->ReadBuffer(size);
    }
    return m_second->WatchesBytes() ? m_second->ReadBuffer(size) : nullptr;
}

void ObserverPair::PieceBytes(const char* data, std::size_t size) {
    // Each gets the bytes only when it asked for them.
    if (m_first->WatchesBytes()) {
        m_first->PieceBytes(data, size);
    }
    if (m_second->WatchesBytes()) {
        m_second->PieceBytes(data, size);
    }
}

bool ObserverPair::WatchesBytes() const {
    return m_first->WatchesBytes() || m_second->WatchesBytes();
}

JobResult ObserverPair::PieceDone(int number) {
    const JobResult first = m_first->PieceDone(number);
    return first != JOB_OK ? first : m_second->PieceDone(number);
}

JobResult ObserverPair::Finished(const std::string& folder,
                                 const std::string& fileName,
                                 int pieces) {
    const JobResult first = m_first->Finished(folder, fileName, pieces);
    return first != JOB_OK ? first : m_second->Finished(folder, fileName, pieces);
}

}  // namespace cli
