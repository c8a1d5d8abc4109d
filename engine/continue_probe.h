// Whether a join can go on from what an earlier join with delete-after-use left: asked by the
// dialog before it starts a join (so that it can ask the user), and by the command line to
// say what it does. The join itself decides again when it runs.
#pragma once

#include <optional>
#include <string>

#include "engine/piece_set.h"

// What ProbeContinue found.
struct ContinueProbe {
    ContinuedJoin plan;       // with kFits
    std::string fileName;     // the joined file's name, when the pieces name one
    std::string partialPath;  // the partial output looked at, when the pieces name a file
    std::string why;          // with kNoFit: what does not fit
    // The partial output holds the whole file, and the pieces left too (CheckWhole), which
    // `plan` then describes.
    bool whole = false;
};

// Looks at the pieces in `source` as the join finds them, and at the partial output in
// `target`: the staged file when `staged`, else the file of the joined name. The pieces are
// `fileName`'s when it is given (JoinOptions::fileName), else the join's rule names them.
ContinueFit ProbeContinue(const std::string& source,
                          const std::string& target,
                          bool staged,
                          ContinueProbe* probe,
                          const std::optional<std::string>& fileName = std::nullopt);
