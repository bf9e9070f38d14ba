// Files of IR signals as people share them: Flipper Zero signal files
// (".ir"), LIRC configuration files ("lircd.conf"), Pronto Hex texts and
// plain lists of mark/space durations with a carrier. Each reader turns a
// file into named signals as marks and spaces; each writer turns a device's
// codes into a file of its format.
//
// Readers never allocate past their limits: a file, a line, the signals of a
// file and the durations of a signal are counted before anything grows. On
// bad input a reader fails with a message that names the file and the line
// ("tv.ir:12: unknown protocol \"NEC43\"") and leaves its output untouched.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "image/IrDecoder.h"
#include "image/Pronto.h"

namespace orvalink {

inline constexpr size_t kIrFileMaxBytes = 8 * 1024 * 1024;
inline constexpr size_t kIrFileMaxLineBytes = 64 * 1024;
inline constexpr size_t kIrFileMaxSignals = 20000;
inline constexpr size_t kIrSignalMaxDurations = 2048;  // marks and spaces of one signal
inline constexpr uint32_t kIrMaxDurationUs = 1000000;  // one mark or space

enum class IrFileFormat { Flipper, Lirc, Pronto, Durations };

struct IrSignal {
    std::string name;                 // as the file spells it ("KEY_POWER", "Vol_up")
    ProntoCode code;                  // carrier, first frame, repeat frame (microseconds)
    std::optional<IrDecoded> decoded; // the protocol and numbers, as the file states or DecodeIr finds
    size_t line = 0;                  // the line the signal starts on (1-based)
};

// Each reader: the signals of `text` into `found`; `fileName` names the file in messages.
bool ParseFlipperIr(std::string_view text, std::string_view fileName, std::vector<IrSignal>& found,
                    std::string& error);
// LIRC: a button's signal is named as the file names it ("KEY_POWER"); in a
// file of several remotes it is "REMOTE/BUTTON" ("tv/KEY_POWER"), so that
// the buttons of different remotes stay apart. The repeat frame is the one
// the remote's `repeat` line describes; a remote without one gives its
// codes no repeat frame (LIRC sends the whole frame again while held).
bool ParseLircConf(std::string_view text, std::string_view fileName, std::vector<IrSignal>& found,
                   std::string& error);
// One signal a line or block: "NAME: 0000 006D ..." or a bare Pronto text.
// A signal without a name is called "Signal N" (N counts the file's
// signals from 1), in the duration lists as well.
bool ParseProntoList(std::string_view text, std::string_view fileName, std::vector<IrSignal>& found,
                     std::string& error);
// "carrier 38000" then "NAME: +9000 -4500 +560 ..." (or bare numbers
// alternating mark and space), durations in microseconds. A signal goes on
// over the lines of numbers below it up to a blank line, a name or a carrier
// line; without a carrier line the carrier is 38 kHz.
bool ParseDurationList(std::string_view text, std::string_view fileName, std::vector<IrSignal>& found,
                       std::string& error);

// The format of a file, by its first meaningful line, else by its extension.
std::optional<IrFileFormat> GuessIrFileFormat(std::string_view text, std::string_view fileName);

// Reads any of the formats above from a file (at most kIrFileMaxBytes).
bool ReadIrSignalFile(const std::string& path, std::vector<IrSignal>& found, std::string& error);

// Writers. A Flipper file writes a signal as "parsed" where its decoded
// protocol has a Flipper name, "raw" otherwise; a LIRC file writes one
// remote named `remoteName`, SPACE_ENC where every signal is of one
// pulse-distance protocol, RAW_CODES otherwise.
bool WriteFlipperIr(const std::vector<IrSignal>& list, std::string& text, std::string& error);
bool WriteLircConf(std::string_view remoteName, const std::vector<IrSignal>& list, std::string& text,
                   std::string& error);
bool WriteProntoList(const std::vector<IrSignal>& list, std::string& text, std::string& error);

}  // namespace orvalink
