// Where a key's IR code comes from besides learning, and where it goes: a
// code made from a protocol and its numbers ("NEC, device 4, function 8"), a
// signal of a shared IR file (Flipper ".ir", "lircd.conf", Pronto Hex,
// duration lists), and the key's code written out as such a file.
//
// A code from either source is first put through every form the key will
// hold it in (the learned form, the stored record, the key's code blocks)
// on a copy of the key, so a code the remote cannot hold is refused with its
// reason before anything changes; one that passes goes onto the key as a
// learned code does (StoreLearnedCode).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/IrSignalFiles.h"
#include "image/IrDecoder.h"
#include "image/IrEncoder.h"
#include "image/KeyRecords.h"
#include "image/LearnedCodes.h"
#include "image/Pronto.h"

namespace orvalink {

// A code on its way to a key: as made or read, in the learned form, as the
// key will hold it, and what that held code reads as.
struct KeyCodeCandidate {
    ProntoCode pronto;
    LearnedCode learned{};
    IrCodeInfo stored;
    std::optional<IrDecoded> decoded;
};

enum class KeyCodeRefusal {
    None,
    Numbers,         // the protocol cannot carry the numbers
    NotLearnable,    // the learned form cannot hold the code
    NotStorable,     // the key's code blocks cannot hold it
    ReadsOtherwise,  // the code the remote would hold reads as other numbers
    NoCode,          // no code at all: the key holds none, nothing is chosen
};

struct KeyCodeOutcome {
    KeyCodeRefusal refusal = KeyCodeRefusal::None;
    std::string reason;  // a sentence a window can quote
    bool Ok() const { return refusal == KeyCodeRefusal::None; }
};

// The protocols a code can be made in, one entry a protocol in the
// decoder's order, each with the numbers it starts from (Kaseikyo with
// Panasonic's vendor, so the entry reads "Panasonic").
std::vector<IrDecoded> MakeableProtocols();

// The request a dialog's boxes make: the sub-device only where the protocol
// has one, the toggle only where it has one, the vendor of `protocol`.
IrEncodeRequest MakeRequest(const IrDecoded& protocol, unsigned device, unsigned subDevice, unsigned function,
                            bool toggle);

// A code made from numbers, as `key` would hold it.
KeyCodeOutcome CodeFromNumbers(const IrEncodeRequest& request, const KeyInfo& key, KeyCodeCandidate& out);
// A signal of a file, as `key` would hold it. Measured durations vary a
// little from burst to burst; where that leaves more different bursts than
// the learned form holds, durations within an eighth of each other are taken
// as one before the code is refused.
KeyCodeOutcome CodeFromSignal(const IrSignal& signal, const KeyInfo& key, KeyCodeCandidate& out);

// "NEC 4 / 8", "NEC extended 4.1 / 8": the protocol name and numbers.
std::string DecodedText(const IrDecoded& decoded);
// The protocol a signal of a file is shown with: as the file states it, else
// as its first frame decodes; nothing when neither says.
std::optional<IrDecoded> SignalProtocol(const IrSignal& signal);

// ---- Export.
// The file format a path's extension names: ".ir" Flipper, ".conf" (and
// "lircd.conf") LIRC, ".txt" Pronto Hex; nothing for any other.
std::optional<IrFileFormat> ExportFormatOfPath(std::string_view path);
// The name a key's signal carries in a file: its label's words with
// everything but letters and digits made "_", or "KEY_<number>".
std::string SignalNameOfKey(const KeyInfo& key);
// The key's IR code as a signal named `name`, with the protocol it reads as.
KeyCodeOutcome KeySignal(const KeyInfo& key, const std::string& name, IrSignal& out);
// The text of a file of `format` holding `list`; a LIRC file names its
// remote `remoteName`. Fails with the writer's reason.
bool ExportText(IrFileFormat format, std::string_view remoteName, const std::vector<IrSignal>& list,
                std::string& text, std::string& error);

}  // namespace orvalink
