#pragma once

// The headless programs' message thread, under the name the tests use.

#include "tools/qtx-update/MessageThread.h"

namespace qtx::test
{
using qtx::MessageThread;
} // namespace qtx::test
