#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qtx
{
constexpr int numLanguages = 12; // language index 0 English ... 11 Japanese
constexpr int numTextEntries = 24;

// One embedded text table: read-only bytes and their count.
struct TextTable
{
    const char* data = nullptr;
    size_t size = 0;
};

// Everything the text loader reads: one table per language index, plus the
// font and language-name table.
struct TextTableSet
{
    std::array<TextTable, numLanguages> languages;
    TextTable fonts;
};

// The tables compiled into the program, in language-index order.
const TextTableSet& embeddedTextTables();

// Windows language identifiers of the twelve languages, in language-index order;
// the starting language is chosen by comparing against these.
extern const std::array<uint16_t, numLanguages> languageIds;
} // namespace qtx
