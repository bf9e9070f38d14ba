// Key labels as a person reads them, for the texts that name keys (the layout
// editor's key list, screen readers): the LCD draws a label of icons, such as
// the big "1" of a digit key, which has no characters to show as text.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace orvalink {

// The words of icon `index` (0..164) of the remote's icon set as the factory
// document carries it: an icon of words reads as them ("1", "MENU",
// "PRE CH"), a picture as its name ("power", "vol up"). Empty outside the set.
std::string IconWords(int index);

// A label's characters, with each icon read as its words and set apart by
// blanks, and line breaks as blanks: {d1} reads "1", "TV" + break + {power}
// "TV power". The label ends where the LCD stops drawing it (0, or a code
// that is neither a character, a break nor an icon); codes the LCD skips are
// skipped, and a label the LCD cannot draw at all (an icon beyond those a
// label reaches) reads as nothing. UTF-8; empty for a label with nothing to
// read.
std::string LabelWords(std::span<const uint8_t> label);

}  // namespace orvalink
