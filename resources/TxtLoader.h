#pragma once

#include "resources/LanguageTables.h"
#include "resources/SystemLocale.h"

#include <juce_core/juce_core.h>

#include <array>
#include <memory>

namespace qtx
{
// The program's texts in twelve languages, the font and own name of each
// language, and the current language. One instance per process, created and
// destroyed on the message thread.
class TxtLoader
{
public:
    // Which list of a table a line belongs to.
    enum class Section
    {
        none,
        fontList,
        languageNames,
        texts
    };

    // Reads the font and name table, picks the starting language from the locale
    // and loads its texts. Tests pass their own locale and tables; the program
    // uses getInstance().
    explicit TxtLoader (std::unique_ptr<SystemLocale> locale,
                        const TextTableSet& tables = embeddedTextTables());
    virtual ~TxtLoader();

    // The process-wide instance, created with the platform's locale on first call.
    static TxtLoader* getInstance();
    static void deleteInstance();

    // Makes index current and loads its texts, unless it is current already.
    // Indices outside 0 to 11 are ignored.
    void setLanguage (int index);
    int getLanguage() const noexcept { return currentLanguage; }
    bool isLanguageInstalled (int index) const noexcept;

    // These answer an index outside their list with an empty text. The reference
    // stays valid until setLanguage switches to another language or the loader goes.
    const juce::String& getText (int entry) const noexcept;
    const juce::String& getLanguageName (int index) const noexcept;
    const juce::String& getFontName (int index) const noexcept;
    const juce::String& getCurrentFontName() const noexcept;

    // Fills the installed flags from the locale and returns the starting language.
    int chooseDefaultLanguage();

    // Fills up to slotCount strings, from firstSlot on, with the entries of the wanted
    // section of table; slots past the last entry found keep their value. Returns the
    // number of slots filled.
    static int loadSection (const TextTable& table, Section wanted, juce::String* firstSlot, int slotCount);

private:
    std::unique_ptr<SystemLocale> locale;
    TextTableSet tables;

    int currentLanguage = -1;
    const juce::String emptyText;
    std::array<bool, numLanguages> installed{};
    std::array<juce::String, numLanguages> fontNames;
    std::array<juce::String, numLanguages> languageNames;
    std::array<juce::String, numTextEntries> texts;

    static TxtLoader* instance;

    JUCE_DECLARE_NON_COPYABLE (TxtLoader)
};
} // namespace qtx
