#include "resources/platform/linux/FontconfigLanguages.h"

#include <fontconfig/fontconfig.h>

#include <memory>

namespace qtx
{
namespace
{
    struct PatternDeleter
    {
        void operator() (FcPattern* p) const { FcPatternDestroy (p); }
    };
    struct ObjectSetDeleter
    {
        void operator() (FcObjectSet* s) const { FcObjectSetDestroy (s); }
    };
    struct FontSetDeleter
    {
        void operator() (FcFontSet* s) const { FcFontSetDestroy (s); }
    };
    struct LangSetDeleter
    {
        void operator() (FcLangSet* s) const { FcLangSetDestroy (s); }
    };
} // namespace

std::vector<std::string> languagesCoveredByFonts (const std::vector<std::string>& languageTags)
{
    std::vector<std::string> covered;

    // The process's one configuration, which the font look-ups use as well: a second,
    // private one parsed every configuration file again, and its freed memory stayed
    // with the process.
    if (FcInit() == FcFalse)
        return covered;

    // One listing of every font's languages, merged, answers all tags at once.
    std::unique_ptr<FcPattern, PatternDeleter> pattern (FcPatternCreate());
    std::unique_ptr<FcObjectSet, ObjectSetDeleter> objects (FcObjectSetBuild (FC_LANG, nullptr));
    if (pattern == nullptr || objects == nullptr)
        return covered;
    std::unique_ptr<FcFontSet, FontSetDeleter> fonts (FcFontList (nullptr, pattern.get(), objects.get()));
    if (fonts == nullptr)
        return covered;

    std::unique_ptr<FcLangSet, LangSetDeleter> all (FcLangSetCreate());
    for (int i = 0; i < fonts->nfont && all != nullptr; ++i)
    {
        FcLangSet* fontLanguages = nullptr;
        if (FcPatternGetLangSet (fonts->fonts[i], FC_LANG, 0, &fontLanguages) == FcResultMatch)
            all.reset (FcLangSetUnion (all.get(), fontLanguages));
    }
    if (all == nullptr)
        return covered;

    for (const auto& tag : languageTags)
        if (FcLangSetHasLang (all.get(), reinterpret_cast<const FcChar8*> (tag.c_str())) == FcLangEqual)
            covered.push_back (tag);
    return covered;
}
} // namespace qtx
