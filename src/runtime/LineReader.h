// Splitting a byte stream into lines as a child program prints them.
//
// A line ends at a line feed; a carriage return right before it is dropped (also when
// the two arrive in different reads), and a last line without a line end is a line
// too. Lines are handed on as they are otherwise, with no limit on their length.
// Reads go through a fixed buffer; only the line being assembled is held.
#pragma once

#include <cstddef>
#include <string>

namespace runtime {

// `read(buffer, size)` returns the number of bytes read, 0 at the end of the data;
// `line(text)` is called once per line, in order. An error thrown by either ends the
// reading and reaches the caller.
template <class Read, class Line> void readLines(Read&& read, Line&& line) {
    char buffer[16 * 1024];
    std::string current;
    bool pending = false; // bytes of an unfinished line have been seen
    for (;;) {
        const std::size_t got = read(buffer, sizeof buffer);
        if (got == 0) {
            break;
        }
        std::size_t start = 0;
        for (std::size_t i = 0; i < got; ++i) {
            if (buffer[i] != '\n') {
                continue;
            }
            current.append(buffer + start, i - start);
            if (!current.empty() && current.back() == '\r') {
                current.pop_back();
            }
            line(current);
            current.clear();
            pending = false;
            start = i + 1;
        }
        if (start < got) {
            current.append(buffer + start, got - start);
            pending = true;
        }
    }
    if (pending) {
        line(current);
    }
}

} // namespace runtime
