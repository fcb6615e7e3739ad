// The header of the paper being authored.
#include "vellum/cpapr.h"

namespace vellum {

bool Cpapr::validateItem() const
{
    return !Title.isEmpty() && !Subject.isEmpty() && !Author.isEmpty() && !FileName.isEmpty()
        && timeLimit >= 1 && Total >= 1;
}

} // namespace vellum
