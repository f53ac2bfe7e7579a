// An output stream that starts every line with a fixed text, so that every complaint the
// program makes carries its name however many lines a sentence is printed in.
#pragma once

#include <ostream>
#include <streambuf>
#include <string>

namespace qtm::cli {

// Passes every character on to target, putting prefix before the first one of each line.
// Holds nothing itself: what is written reaches target at once, in the order written.
class LinePrefixBuffer : public std::streambuf {
public:
    LinePrefixBuffer(std::streambuf* target, std::string prefix);

protected:
    int_type overflow(int_type ch) override;
    std::streamsize xsputn(const char_type* text, std::streamsize count) override;
    int sync() override;

private:
    std::streambuf* m_target;
    std::string m_prefix;
    bool m_atLineStart = true;
};

// The stream over a LinePrefixBuffer writing to target.
class PrefixedStream : public std::ostream {
public:
    PrefixedStream(std::ostream& target, std::string prefix);

private:
    LinePrefixBuffer m_buffer;
};

}  // namespace qtm::cli
