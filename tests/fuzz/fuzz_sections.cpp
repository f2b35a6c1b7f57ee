// Feeds arbitrary bytes to the text table section loader, as every kind of section
// and as a whole set of tables behind the loader's accessors.
#include "resources/TxtLoader.h"

#include <array>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    using qtx::TxtLoader;
    const qtx::TextTable table{reinterpret_cast<const char*> (data), size};

    std::array<juce::String, qtx::numTextEntries> slots;
    for (auto section : {TxtLoader::Section::none, TxtLoader::Section::fontList,
                         TxtLoader::Section::languageNames, TxtLoader::Section::texts})
    {
        const int count =
            TxtLoader::loadSection (table, section, slots.data(), static_cast<int> (slots.size()));
        if (count < 0 || count > static_cast<int> (slots.size()))
            std::abort();
        for (const auto& s : slots)
            if (!juce::CharPointer_UTF8::isValidString (s.toRawUTF8(), -1))
                std::abort();
    }

    qtx::TextTableSet tables;
    tables.languages.fill (table);
    tables.fonts = table;
    TxtLoader loader (nullptr, tables);
    loader.setLanguage (1);
    for (int i = -1; i <= qtx::numTextEntries; ++i)
        (void) loader.getText (i).length();
    (void) loader.getCurrentFontName().length();
    (void) loader.getLanguageName (11).length();
    return 0;
}
