#include "core/updates/UpdateError.h"

namespace korvane {

UpdateError dictationInProgressError()
{
    return UpdateError{"Korvane.Update", 1, "Dictation in progress"};
}

}  // namespace korvane
