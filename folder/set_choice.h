// Which recovery set speaks for one file's pieces. A set is used only when it describes
// every piece of the file (those SHA256SUMS lists, else those there) and no piece that is
// neither listed nor there, nor after a gap a split never leaves (no list); and when it is
// not stale: no piece there that SHA256SUMS or another set vouches for is damaged by its
// lights. Of the sets left, one that can rebuild everything lost is taken; else the one
// that lacks the fewest recovery slices. Sets not used are named with the reason.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "folder/rebuilt_sums.h"
#include "folder/recovery_scan.h"
#include "recovery/keep_going.h"
#include "recovery/recovery_status.h"

namespace folder {

struct SetNotUsed {
    std::string recoveryFile;  // the first file holding the set's packets
    std::string reason;
    bool partial = false;  // it only lacks pieces: a set of some pieces, not a suspect one
};

class SetChoice {
public:
    // Weighs the sets `scan` found (with their pieces checked) for `fileName`'s pieces in
    // `folder`, whose numbers there are `present`, against what `list` holds of them (read;
    // or empty when no list is to be consulted). Hashes only pieces a set finds damaged and
    // the list has a line for. Fails when such a piece cannot be read, or when stopped.
    recovery::Status Choose(const RecoveryScan& scan,
                            const std::string& fileName,
                            const std::vector<int>& present,
                            const RebuiltSums& list,
                            const recovery::KeepGoing& keepGoing);

    // The set to use; null when none is usable.
    const recovery::SetReport* Chosen() const { return m_chosen; }
    // The sets describing the file's pieces that are not used, in the order found.
    const std::vector<SetNotUsed>& NotUsed() const { return m_notUsed; }

private:
    // Why the set cannot speak for the file's pieces, `partial` when only for lacking some;
    // empty when it can.
    std::string Fault(const recovery::SetReport& set,
                      const std::vector<const recovery::SetReport*>& others,
                      const recovery::KeepGoing& keepGoing,
                      bool* partial,
                      recovery::Status* failed) const;

    std::string m_fileName;
    std::vector<int> m_present;
    std::vector<int> m_listed;  // piece numbers with lines in SHA256SUMS
    const RebuiltSums* m_list = nullptr;
    const recovery::SetReport* m_chosen = nullptr;
    std::vector<SetNotUsed> m_notUsed;
};

}  // namespace folder
