#include "device/CNumberFormat.h"

#include <locale.h>

#include <clocale>
#include <cstdio>

namespace qtm {

namespace {

#ifdef _WIN32

// The calling thread formats in the C locale while one of these lives: the thread gets a
// locale of its own for that time, so other threads are not disturbed.
class CLocaleScope {
public:
    CLocaleScope() : m_mode(_configthreadlocale(_ENABLE_PER_THREAD_LOCALE)) {
        if (const char* current = std::setlocale(LC_NUMERIC, nullptr)) m_previous = current;
        std::setlocale(LC_NUMERIC, "C");
    }
    ~CLocaleScope() {
        if (!m_previous.empty()) std::setlocale(LC_NUMERIC, m_previous.c_str());
        if (m_mode > 0) _configthreadlocale(m_mode);
    }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    int m_mode;
    std::string m_previous;
};

#else

// The calling thread formats in the C locale while one of these lives. uselocale changes
// this thread only, so other threads (and the window) are not disturbed.
class CLocaleScope {
public:
    CLocaleScope() {
        static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
        // Without a C locale object (out of memory) the thread's locale stays.
        if (c != static_cast<locale_t>(0)) m_previous = uselocale(c);
    }
    ~CLocaleScope() {
        if (m_previous != static_cast<locale_t>(0)) uselocale(m_previous);
    }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t m_previous = static_cast<locale_t>(0);
};

#endif

}  // namespace

int SnprintfC(char* buffer, std::size_t size, const char* format, ...) {
    CLocaleScope scope;
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, size, format, args);
    va_end(args);
    return n;
}

std::string VFormatC(const char* format, va_list args) {
    CLocaleScope scope;
    char buffer[256];
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    std::string text;
    if (n >= 0 && static_cast<std::size_t>(n) < sizeof buffer) {
        text.assign(buffer, static_cast<std::size_t>(n));
    } else if (n >= 0) {
        // Huge floats print hundreds of digits; size the text exactly for those.
        text.resize(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(text.data(), text.size(), format, again);
        text.resize(static_cast<std::size_t>(n));
    }
    va_end(again);
    return text;
}

std::string FormatC(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = VFormatC(format, args);
    va_end(args);
    return text;
}

}  // namespace qtm
