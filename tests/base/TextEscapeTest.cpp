// Outside text as it is shown: control bytes and broken UTF-8 escaped,
// every printable letter kept.
#include <gtest/gtest.h>

#include <string>

#include "base/TextEscape.h"

namespace orvalink {
namespace {

TEST(TextEscapeTest, ControlsAndBrokenUtf8AreEscapedLettersStay) {
    const std::pair<std::string, std::string> cases[] = {
        {"QM5100_v1_07.vmcu", "QM5100_v1_07.vmcu"},
        {"\x1B[2Jname", "\\x1B[2Jname"},                        // ESC: clears a terminal
        {std::string("a\0b", 3), "a\\x00b"},                    // NUL
        {"a\rb\nc\td", "a\\x0Db\\x0Ac\\x09d"},                  // CR, LF, TAB
        {"\x1F \x20 \x7E \x7F", "\\x1F   ~ \\x7F"},              // the edges of ASCII's printable range
        {"\xC2\x9B" "2J", "\\xC2\\x9B2J"},                     // U+009B: CSI of the C1 controls
        {"\xC2\x80", "\\xC2\\x80"},                             // U+0080: the first C1 control
        {"\xC2\xA0", "\xC2\xA0"},                               // U+00A0: printable
        {"\xE9\x81\xA5\xE6\x8E\xA7\xE5\x99\xA8", "\xE9\x81\xA5\xE6\x8E\xA7\xE5\x99\xA8"},  // CJK letters
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},               // four bytes
        {"\xFF", "\\xFF"},                                      // never in UTF-8
        {"\x9B", "\\x9B"},                                      // a lone continuation byte (8-bit CSI)
        {"\xC0\xAF", "\\xC0\\xAF"},                             // an overlong '/'
        {"\xE0\x80\xAF", "\\xE0\\x80\\xAF"},                    // another
        {"\xE4\xB8", "\\xE4\\xB8"},                             // cut short
        {"\xED\xA0\x80", "\\xED\\xA0\\x80"},                    // a surrogate
        {"\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},           // above U+10FFFF
        {"\\x1B", "\\x1B"},                                     // a backslash stays itself
    };
    for (const auto& [in, shown] : cases) EXPECT_EQ(EscapeControls(in), shown) << shown;
}

}  // namespace
}  // namespace orvalink
