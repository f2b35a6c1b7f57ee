#pragma once

// A stand-in for the devlink library: the exports the device link binds work on
// a table the test controls, and notices are posted from the calling thread
// (the test's, never the message thread), as the library's threads would.

#include <cstdint>
#include <vector>

namespace qtx::fake
{

struct Write
{
    int deviceNumber;
    std::vector<uint8_t> data;
};

void reset();

// Puts a device of a type at a number; posts an arrival when started.
void plug (int deviceNumber, int type, int firmwareVersion);
// Frees a number; posts a removal when started.
void unplug (int deviceNumber);
// Stores an input report of a device and posts an input notice.
void input (int deviceNumber, const std::vector<uint8_t>& report);
// Posts a notice as is (e.g. for a number that holds nothing).
void postRaw (unsigned int message, int deviceNumber);

std::vector<Write> writes();
bool started();
int initializeCalls();
void setInitializeResult (int result);
unsigned int inputMessage();

} // namespace qtx::fake
