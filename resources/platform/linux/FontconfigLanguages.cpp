#include "resources/platform/linux/FontconfigLanguages.h"

#include <fontconfig/fontconfig.h>

#include <memory>

namespace qtx
{
namespace
{
    struct ConfigDeleter
    {
        void operator() (FcConfig* c) const { FcConfigDestroy (c); }
    };
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

    // A configuration of our own, released after use: the shared one that FcInit() sets
    // up is never given back, and this question is asked once per start.
    std::unique_ptr<FcConfig, ConfigDeleter> config (FcInitLoadConfigAndFonts());
    if (config == nullptr)
        return covered;

    // One listing of every font's languages, merged, answers all tags at once.
    std::unique_ptr<FcPattern, PatternDeleter> pattern (FcPatternCreate());
    std::unique_ptr<FcObjectSet, ObjectSetDeleter> objects (FcObjectSetBuild (FC_LANG, nullptr));
    if (pattern == nullptr || objects == nullptr)
        return covered;
    std::unique_ptr<FcFontSet, FontSetDeleter> fonts (
        FcFontList (config.get(), pattern.get(), objects.get()));
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
