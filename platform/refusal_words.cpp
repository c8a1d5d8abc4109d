// The words of the program's own refusals, alike on every system.
#include "platform/system_error.h"

namespace platform {

const char* RefusalWords(Refusal refusal) {
    switch (refusal) {
        case Refusal::kNotRegular:
            return "not a regular file";
        case Refusal::kLink:
            return "a link, which is not followed here";
        case Refusal::kInUse:
            return "another run is using it";
        case Refusal::kNotOurs:
            return "not a file this program left there; remove it";
    }
    return "refused";
}

}  // namespace platform
