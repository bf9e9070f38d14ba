// What the readers of IR signal text files share: walking a text line by
// line within the line limit, splitting a line into words, reading numbers
// without overflow, and the "file:line: why" form of their messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvalink::irtext {

// "tv.conf:12: why"
std::string At(std::string_view fileName, size_t line, std::string_view why);

// Fails (with `error` set) for a text longer than kIrFileMaxBytes.
bool TextFits(std::string_view text, std::string_view fileName, std::string& error);

// Lines of a text, ended by LF, CR LF or CR. A line longer than
// kIrFileMaxLineBytes ends the walk with an error.
class LineReader {
public:
    LineReader(std::string_view text, std::string_view fileName) : text_(text), fileName_(fileName) {}
    // The next line without its end; false at the end of the text or on a
    // line that is too long (then `Failed()` and `error` is set).
    bool Next(std::string_view& line, std::string& error);
    bool Failed() const { return failed_; }
    size_t Number() const { return number_; }  // of the line last returned, 1-based

private:
    std::string_view text_;
    std::string_view fileName_;
    size_t pos_ = 0;
    size_t number_ = 0;
    bool failed_ = false;
};

bool IsBlank(char c);
std::string_view Trim(std::string_view s);
// The words of a line separated by blanks (and by `extraSeparator` where
// not 0). A line holds at most kIrFileMaxLineBytes characters, which bounds
// the list.
std::vector<std::string_view> Words(std::string_view line, char extraSeparator = 0);
bool EqualsNoCase(std::string_view a, std::string_view b);

// Decimal digits only, at most `max`.
bool ParseDecimal(std::string_view s, uint64_t max, uint64_t& value);
// As C's strtoull with base 0: "0x" hex, a leading 0 octal, else decimal;
// the whole word, fitting 64 bits.
bool ParseCNumber(std::string_view s, uint64_t& value);

// Four hex digits.
bool IsProntoWord(std::string_view s);

// A name a line-based writer can put on one line and read back: control
// characters become blanks, a leading "#" an "_", and an empty name "Signal N".
std::string PrintableName(std::string_view name, size_t index);

// "0x1FE" (upper-case digits), as LIRC files write their codes.
std::string Hex(uint64_t v);

}  // namespace orvalink::irtext
