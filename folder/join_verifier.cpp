#include "folder/join_verifier.h"

namespace folder {

namespace {

JobResult Verdict(bool passed) {
    return passed ? JOB_OK : JOB_SOURCE_ERROR;
}

}  // namespace

JobResult JoinVerifier::JoinStarts(const std::string& outputName,
                                   const std::vector<std::uint64_t>& pieceLengths) {
    return Verdict(m_checker.Begin(outputName, pieceLengths));
}

JobResult JoinVerifier::PieceDone(int number) {
    m_checker.PieceDone(number);
    return JOB_OK;
}

JobResult JoinVerifier::PieceVerdict(int number) {
    return Verdict(m_checker.PieceVerdict(number));
}

JobResult JoinVerifier::Finished(const std::string&, const std::string& fileName, int) {
    return Verdict(m_checker.WholeFile(fileName));
}

}  // namespace folder
