// Runs a test under a German locale (decimal comma), as a user with LANG=de_DE.UTF-8 has it,
// and puts the previous locale back afterwards. scripts/install-deps.sh generates the locale.
#pragma once

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <string>

class GermanLocale {
public:
    GermanLocale() {
        const char* previous = std::setlocale(LC_ALL, nullptr);
        m_previous = previous ? previous : "C";
        // Windows' runtime names its locales its own way.
        for (const char* name : {"de_DE.UTF-8", "de-DE", "German_Germany.1252"}) {
            m_active = std::setlocale(LC_ALL, name) != nullptr;
            if (m_active) break;
        }
    }
    ~GermanLocale() { std::setlocale(LC_ALL, m_previous.c_str()); }
    GermanLocale(const GermanLocale&) = delete;
    GermanLocale& operator=(const GermanLocale&) = delete;

    // True when the locale is in force and really writes a decimal comma.
    bool Active() const {
        char text[16];
        std::snprintf(text, sizeof text, "%.1f", 2.5);
        return m_active && std::string(text) == "2,5";
    }

private:
    std::string m_previous;
    bool m_active = false;
};

// Fails the test (never skips it) when the machine lacks the locale: the checks would pass
// without proving anything.
#define ASSERT_GERMAN_LOCALE(locale) \
    ASSERT_TRUE((locale).Active()) << "de_DE.UTF-8 missing: run scripts/install-deps.sh"
