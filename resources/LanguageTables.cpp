#include "resources/LanguageTables.h"

#include "qtx_resource_data.h"

namespace qtx
{
namespace
{
    TextTable table (const unsigned char* data, unsigned int size)
    {
        return {reinterpret_cast<const char*> (data), size};
    }
} // namespace

const TextTableSet& embeddedTextTables()
{
    // Built on first use: the sizes live in other translation units.
    static const TextTableSet tables{
        {{
            table (data::lang_en_txt, data::lang_en_txtSize),
            table (data::lang_fr_txt, data::lang_fr_txtSize),
            table (data::lang_de_txt, data::lang_de_txtSize),
            table (data::lang_es_txt, data::lang_es_txtSize),
            table (data::lang_it_txt, data::lang_it_txtSize),
            table (data::lang_nl_txt, data::lang_nl_txtSize),
            table (data::lang_ru_txt, data::lang_ru_txtSize),
            table (data::lang_pt_txt, data::lang_pt_txtSize),
            table (data::lang_zh_cn_txt, data::lang_zh_cn_txtSize),
            table (data::lang_zh_tw_txt, data::lang_zh_tw_txtSize),
            table (data::lang_ko_txt, data::lang_ko_txtSize),
            table (data::lang_ja_txt, data::lang_ja_txtSize),
        }},
        table (data::fonts_txt, data::fonts_txtSize),
    };
    return tables;
}

const std::array<uint16_t, numLanguages> languageIds{
    0x0409, // English (United States)
    0x040C, // French (France)
    0x0407, // German (Germany)
    0x040A, // Spanish (Spain)
    0x0410, // Italian (Italy)
    0x0413, // Dutch (Netherlands)
    0x0419, // Russian (Russia)
    0x0816, // Portuguese (Portugal)
    0x0804, // Chinese (PRC), simplified script
    0x0404, // Chinese (Taiwan), traditional script
    0x0412, // Korean
    0x0411, // Japanese
};
} // namespace qtx
