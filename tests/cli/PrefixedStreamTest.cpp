#include "cli/PrefixedStream.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace qtm::cli {
namespace {

// However a text is cut into writes, each of its lines gets the prefix once.
TEST(PrefixedStreamTest, EveryLineStartsWithThePrefixOnce) {
    const struct {
        std::vector<std::string> writes;
        const char* expected;
    } cases[] = {
        {{"one\n"}, "p: one\n"},
        {{"one\ntwo\n"}, "p: one\np: two\n"},
        {{"on", "e", "\n", "two"}, "p: one\np: two"},
        {{"one\n", "", "\n"}, "p: one\np: \n"},
        {{""}, ""},
        {{"\n\n"}, "p: \np: \n"},
    };
    for (const auto& c : cases) {
        std::ostringstream target;
        PrefixedStream stream(target, "p: ");
        for (const std::string& piece : c.writes)
            stream << piece;
        EXPECT_EQ(target.str(), c.expected) << c.writes.size();
    }
}

TEST(PrefixedStreamTest, CharactersNumbersAndManipulatorsGoThroughInOrder) {
    std::ostringstream target;
    target << "before\n";
    PrefixedStream stream(target, "qtm200cli: ");
    stream << 'a' << 42 << std::endl << "b" << '\n';
    target << "raw\n";
    EXPECT_EQ(target.str(), "before\nqtm200cli: a42\nqtm200cli: b\nraw\n");
}

}  // namespace
}  // namespace qtm::cli
