#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qtx
{
// What the text loader asks of the operating system to pick the starting language.
class SystemLocale
{
public:
    virtual ~SystemLocale() = default;

    // The user's default language as a Windows language identifier (0x0409 English, ...).
    virtual uint16_t getUserLanguageId() const = 0;

    // The locales this system can show, each as a locale identifier in eight
    // hexadecimal digits ("00000409").
    virtual std::vector<std::string> getInstalledLocales() const = 0;
};

// The platform's own implementation.
std::unique_ptr<SystemLocale> createSystemLocale();
} // namespace qtx
