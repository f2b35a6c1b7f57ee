#pragma once

// Whatever a platform needs beside JUCE to keep the program's windows drawn, held
// for the program's run. Most systems need nothing.

#include <memory>

namespace qtx
{

class WindowUpkeep
{
public:
    virtual ~WindowUpkeep() = default;

    // Null when the system needs no help. Message thread.
    static std::unique_ptr<WindowUpkeep> create();
};

} // namespace qtx
