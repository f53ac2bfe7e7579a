// Text between the program's UTF-8 and the UTF-16 of Windows' wide calls, for every part
// of the Windows build that names files or ports, reads arguments or converts meter text.
#pragma once

#include <string>
#include <string_view>

namespace qtm {

// UTF-16 of UTF-8 text; false, with *out empty, when the text is no UTF-8.
bool WideFromUtf8(std::string_view text, std::wstring* out);
// The same, empty for text that is no UTF-8 (a name no call will find).
std::wstring WideFromUtf8(std::string_view text);
// UTF-8 of UTF-16 text; an unpaired surrogate becomes U+FFFD.
std::string Utf8FromWide(std::wstring_view wide);

}  // namespace qtm
