#include "cli/PrefixedStream.h"

#include <cstring>

namespace qtm::cli {

LinePrefixBuffer::LinePrefixBuffer(std::streambuf* target, std::string prefix)
    : m_target(target), m_prefix(std::move(prefix)) {}

LinePrefixBuffer::int_type LinePrefixBuffer::overflow(int_type ch) {
    if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
    const char c = traits_type::to_char_type(ch);
    return xsputn(&c, 1) == 1 ? ch : traits_type::eof();
}

std::streamsize LinePrefixBuffer::xsputn(const char_type* text, std::streamsize count) {
    if (m_target == nullptr) return 0;
    std::streamsize done = 0;
    while (done < count) {
        if (m_atLineStart) {
            const auto size = static_cast<std::streamsize>(m_prefix.size());
            if (m_target->sputn(m_prefix.data(), size) != size) return done;
            m_atLineStart = false;
        }
        // Up to and with the next line end in one piece.
        const char* start = text + done;
        const auto left = static_cast<std::size_t>(count - done);
        const void* end = std::memchr(start, '\n', left);
        const std::streamsize piece =
            end ? static_cast<const char*>(end) - start + 1 : static_cast<std::streamsize>(left);
        const std::streamsize written = m_target->sputn(start, piece);
        done += written;
        if (written != piece) return done;
        if (end) m_atLineStart = true;
    }
    return done;
}

int LinePrefixBuffer::sync() {
    return m_target == nullptr ? -1 : m_target->pubsync();
}

PrefixedStream::PrefixedStream(std::ostream& target, std::string prefix)
    : std::ostream(nullptr), m_buffer(target.rdbuf(), std::move(prefix)) {
    rdbuf(&m_buffer);
    // Standard error flushes standard output before it writes, so the two keep their order
    // in a terminal; writing past it to its buffer, this stream must do the same.
    tie(target.tie());
}

}  // namespace qtm::cli
