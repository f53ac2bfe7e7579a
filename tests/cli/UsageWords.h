// The options and commands a usage text names, for the tests that hold the manual pages
// and the shell completion to it.
#pragma once

#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace qtm::test {

using Words = std::set<std::string>;

// "--name" words and "-h", where an option can start: not inside "data-save" or "RS-485".
inline Words Options(const std::string& text) {
    static const std::regex option(R"((^|[\s\[|,("])(--[a-z][a-z0-9-]*|-h)(?![a-z0-9-]))");
    Words found;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option);
         it != std::sregex_iterator(); ++it)
        found.insert((*it)[2]);
    return found;
}

// The first word of each entry under "commands:" (entries are indented by two spaces,
// their continuation lines by more) up to the next line that is not indented.
inline Words UsageCommands(const std::string& usage) {
    Words found;
    std::istringstream in(usage);
    bool inCommands = false;
    static const std::regex entry(R"(^  ([a-z]+)\b.*)");
    for (std::string line; std::getline(in, line);) {
        if (line == "commands:") {
            inCommands = true;
        } else if (line.empty() || line[0] != ' ') {
            inCommands = false;
        } else if (std::smatch m; inCommands && std::regex_match(line, m, entry)) {
            found.insert(m[1]);
        }
    }
    return found;
}

}  // namespace qtm::test
