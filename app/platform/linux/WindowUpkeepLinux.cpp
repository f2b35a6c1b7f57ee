#include "../../WindowUpkeep.h"

namespace qtx
{

std::unique_ptr<WindowUpkeep> WindowUpkeep::create()
{
    return nullptr;
}

} // namespace qtx
