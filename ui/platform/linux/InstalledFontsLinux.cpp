// fontconfig picks the stand-in family (its own aliases map "Arial" to a
// metric-compatible sans); the Windows CJK names only map to a CJK font when the
// pattern also names the language. JUCE's own font scan skips .ttc collections,
// so a chosen collection is linked under an extension the scan accepts.

#include "../InstalledFonts.h"

#include <fontconfig/fontconfig.h>

#include <map>
#include <set>

namespace qtx
{
namespace
{
    // Loaded on the message thread, once, by the first look-up (the language check
    // at start). On a helper thread it saved no time, as the first screen waits for
    // it anyway, and its allocations took a malloc arena of their own that stayed
    // with the process.
    bool fontconfigReady()
    {
        return FcInit() != FcFalse;
    }

    const char* languageFor (const juce::String& name)
    {
        static const struct
        {
            const char* name;
            const char* language;
        } hints[] = {
            {"Microsoft YaHei", "zh-cn"},
            {"Microsoft JhengHei", "zh-tw"},
            {"Malgun Gothic", "ko"},
            {"MS UI Gothic", "ja"},
        };
        for (const auto& hint : hints)
            if (name.equalsIgnoreCase (hint.name))
                return hint.language;
        return nullptr;
    }

    struct Match
    {
        juce::StringArray families;
        juce::String file;
    };

    Match matchFont (const juce::String& name, const char* language, int weight)
    {
        Match result;
        FcPattern* pattern = FcPatternCreate();
        FcPatternAddString (pattern, FC_FAMILY, (const FcChar8*) name.toRawUTF8());
        FcPatternAddInteger (pattern, FC_WEIGHT, weight);
        if (language != nullptr)
            FcPatternAddString (pattern, FC_LANG, (const FcChar8*) language);
        FcConfigSubstitute (nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute (pattern);

        FcResult status = FcResultNoMatch;
        if (FcPattern* match = FcFontMatch (nullptr, pattern, &status))
        {
            FcChar8* value = nullptr;
            for (int i = 0; FcPatternGetString (match, FC_FAMILY, i, &value) == FcResultMatch; ++i)
                result.families.add (juce::String::fromUTF8 ((const char*) value));
            if (FcPatternGetString (match, FC_FILE, 0, &value) == FcResultMatch)
                result.file = juce::String::fromUTF8 ((const char*) value);
            FcPatternDestroy (match);
        }
        FcPatternDestroy (pattern);
        return result;
    }

    juce::File linkFolder()
    {
        auto cache = juce::File::getSpecialLocation (juce::File::userHomeDirectory).getChildFile (".cache");
        if (const char* xdg = std::getenv ("XDG_CACHE_HOME"); xdg != nullptr && *xdg == '/')
            cache = juce::File (juce::String::fromUTF8 (xdg));
        auto folder = cache.getChildFile ("QtxUpdate").getChildFile ("fonts");
        if (!folder.createDirectory())
            folder =
                juce::File::getSpecialLocation (juce::File::tempDirectory).getChildFile ("QtxUpdate-fonts");
        return folder;
    }

    // Registers a font file with JUCE when its scan would not have picked it up;
    // false for a file that the scan takes as it is.
    bool makeVisibleToJuce (const juce::String& path)
    {
        static std::set<juce::String> done;
        const juce::File file (path);
        if (path.isEmpty() || file.hasFileExtension ("ttf;pfb;pcf;otf"))
            return false;
        if (!done.insert (path).second)
            return true;

        // One folder per collection, so each scan reads only the file just linked.
        auto folder = linkFolder().getChildFile (juce::String::toHexString (path.hashCode64()));
        folder.createDirectory();
        const auto link = folder.getChildFile (file.getFileName() + ".otf");
        if (!link.exists())
            file.createSymbolicLink (link, true);
        juce::Typeface::scanFolderForFonts (folder);
        return true;
    }
} // namespace

juce::String findInstalledFamily (const juce::String& name)
{
    if (!fontconfigReady())
        return {};

    const auto* language = languageFor (name);
    const auto regular = matchFont (name, language, FC_WEIGHT_REGULAR);
    if (regular.families.isEmpty())
        return {};

    // A collection is linked for JUCE with its bold face, which may be a file of
    // its own; plain font files JUCE has scanned already, bold ones included.
    if (makeVisibleToJuce (regular.file))
        makeVisibleToJuce (matchFont (name, language, FC_WEIGHT_BOLD).file);

    // fontconfig may list localised family names too; take the one JUCE knows.
    const auto known = juce::Font::findAllTypefaceNames();
    for (const auto& family : regular.families)
        if (known.contains (family))
            return family;
    return {};
}

bool familyCoversText (const juce::String& family, const juce::String& text)
{
    static std::map<juce::String, FcCharSet*> charsets; // kept for the process: a handful of families
    auto found = charsets.find (family);
    if (found == charsets.end())
    {
        FcCharSet* charset = nullptr;
        if (fontconfigReady())
        {
            FcPattern* pattern = FcPatternCreate();
            FcPatternAddString (pattern, FC_FAMILY, (const FcChar8*) family.toRawUTF8());
            FcConfigSubstitute (nullptr, pattern, FcMatchPattern);
            FcDefaultSubstitute (pattern);
            FcResult status = FcResultNoMatch;
            if (FcPattern* match = FcFontMatch (nullptr, pattern, &status))
            {
                FcChar8* matched = nullptr;
                FcCharSet* set = nullptr;
                // A substitute family says nothing about the one asked for.
                if (FcPatternGetString (match, FC_FAMILY, 0, &matched) == FcResultMatch &&
                    family.equalsIgnoreCase (juce::String::fromUTF8 ((const char*) matched)) &&
                    FcPatternGetCharSet (match, FC_CHARSET, 0, &set) == FcResultMatch)
                    charset = FcCharSetCopy (set);
                FcPatternDestroy (match);
            }
            FcPatternDestroy (pattern);
        }
        found = charsets.emplace (family, charset).first;
    }
    if (found->second == nullptr)
        return false;

    for (auto p = text.getCharPointer(); !p.isEmpty(); ++p)
    {
        const auto c = *p;
        if (c > 32 && !juce::CharacterFunctions::isWhitespace (c) &&
            FcCharSetHasChar (found->second, (FcChar32) c) == FcFalse)
            return false;
    }
    return true;
}

} // namespace qtx
