// Documents: the memory image as a .vmcf file. Where a document keeps its
// version word, the header every document is written with, and the two
// operations every caller uses: load a document into the image, save the
// image as a document.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <span>
#include <string>

#include "formats/VFileHeader.h"
#include "platform/UiServices.h"

namespace orvalink {

class Clock;
class Random;
class TTiFlashFm;

// The version word a document of the memory image carries: bytes 27224
// (major) and 27225 (minor) for the 5100 family, 15 and 14 for the others.
// 0 when the image is too short to hold it.
uint16_t ImageVersionWord(std::span<const uint8_t> image, uint16_t modelCode);

// The header every document is written with: kind 100, model QM-5100, the
// given version word and the single entry "QM-5100_". False when the
// catalogue does not know the model.
bool FillDocumentHeader(uint16_t versionWord, VFileHeader& header);

// What became of a document operation: the kind, the system's text to show
// for it (empty when nothing is shown) with its icon, and the file layer's
// reason where it knows one.
enum class DocumentResult {
    Ok,
    Unreadable,      // not a V file that loads: "Load V File error ! ..."
    OlderModel,      // a file of the older remotes: refused without a word
    NotAFamilyDocument,  // not a kind 100 document of the 5100 family
    TooLarge,        // the payload does not fit the image: "Load V File error ! ..."
    NotReady,        // no image to save: "Ti 5k Flash not ready !"
    NoModel,         // the catalogue does not know the model: "Please Select Model first !"
    WriteFailed,     // the file could not be written: "Make V File Error ! ..."
    Refused,         // a kind no file is written of: nothing is shown
    Cancelled,       // the user cancelled a file dialog: nothing is shown
};

struct DocumentOutcome {
    DocumentResult kind = DocumentResult::Ok;
    std::string message;
    MsgIcon icon = MsgIcon::None;
    std::string why;   // the file layer's reason ("" when it has none)
    std::string path;  // the file read or written
    static DocumentOutcome Of(DocumentResult kind, std::string message = {}, MsgIcon icon = MsgIcon::None) {
        DocumentOutcome outcome;
        outcome.kind = kind;
        outcome.message = std::move(message);
        outcome.icon = icon;
        return outcome;
    }
    bool Ok() const { return kind == DocumentResult::Ok; }
};

// Which files count as a document for the image.
enum class DocumentRule {
    NewerModels,     // the windows: any V file of a model of 1000 and above
    FamilyDocument,  // the command line: a kind 100 document of the 5100 family
};

// Loads the V file at `path` (UTF-8) into the start of the image. The image
// is untouched unless the outcome is Ok.
DocumentOutcome LoadDocumentIntoImage(const std::string& path, TTiFlashFm& flash,
                                      DocumentRule rule = DocumentRule::NewerModels);

// The checks before a document of the image is written, and its header: the
// older families keep no document (OlderModel, silent), an image too short
// is NotReady, a model the catalogue does not know NoModel. `modelCode`
// chooses where the version word is read.
DocumentOutcome DocumentHeaderForImage(const TTiFlashFm& flash, uint16_t modelCode, VFileHeader& header);
// Writes the image's document bytes at `path` exactly (never half written).
DocumentOutcome WriteImageDocument(const TTiFlashFm& flash, VFileHeader& header, const std::string& path,
                                   const Clock& clock, Random& random);
// Both: the image as a document at `path`.
DocumentOutcome SaveImageAsDocument(const TTiFlashFm& flash, uint16_t modelCode, const std::string& path,
                                    const Clock& clock, Random& random);

// What a backup keeps of the whole flash read from a remote of `modelCode`
// (`flash`: the memory image, or an older remote's 262144 bytes), the same
// for the upgrade page and the command line. The 5100 family: a document of
// the image (DocumentHeaderForImage, the first 1081334 bytes). The 2300
// family and the older remotes: all bytes read, kind 100 under the remote's
// own model code and its single entry name, so the upgrade page takes them
// back for its flash upgrade; the version word is that of a 2300 image's
// bytes 15 (major) and 14 (minor), 0 for an older remote's flash.
DocumentOutcome BackupDocumentHeader(uint16_t modelCode, std::span<const uint8_t> flash, VFileHeader& header,
                                     std::span<const uint8_t>& payload);
// Both: the backup written at `path` exactly (never half written).
DocumentOutcome SaveBackupDocument(uint16_t modelCode, std::span<const uint8_t> flash, const std::string& path,
                                   const Clock& clock, Random& random);

}  // namespace orvalink
