#include "formats/Documents.h"

#include <algorithm>
#include <exception>
#include <vector>

#include "formats/FileKinds.h"
#include "formats/ModelCatalogue.h"
#include "formats/VFiles.h"
#include "image/Tiflashut.h"

namespace orvalink {

namespace {

// Where a document keeps its version word in the image.
constexpr size_t kVersionMajor5100 = 27224;
constexpr size_t kVersionMinor5100 = 27225;
constexpr size_t kVersionMajor2300 = 15;
constexpr size_t kVersionMinor2300 = 14;

DocumentOutcome Outcome(DocumentResult kind, std::string message, MsgIcon icon, const std::string& path,
                        std::string why = {}) {
    return {kind, std::move(message), icon, std::move(why), path};
}

std::string LoadErrorText(const std::string& path) { return "Load V File error ! \n\nPath: " + path; }

}  // namespace

uint16_t ImageVersionWord(std::span<const uint8_t> image, uint16_t modelCode) {
    const bool family5100 = Is5100Family(modelCode);
    const size_t major = family5100 ? kVersionMajor5100 : kVersionMajor2300;
    const size_t minor = family5100 ? kVersionMinor5100 : kVersionMinor2300;
    if (image.size() <= std::max(major, minor)) return 0;
    return uint16_t((image[major] << 8) | image[minor]);
}

bool FillDocumentHeader(uint16_t versionWord, VFileHeader& header) {
    // Documents are always written as QM-5100 files.
    uint16_t documentModel = 0;
    if (!ModelCodeOf("QM-5100", documentModel) || !FillVFileHeader(kKindVmcf, documentModel, versionWord, header))
        return false;
    SetSingleName(header, FieldText(header.modelName) + "_");
    return true;
}

DocumentOutcome LoadDocumentIntoImage(const std::string& path, TTiFlashFm& flash, DocumentRule rule) {
    try {
        std::vector<uint8_t> payload;
        VFileHeader header;
        std::string why;
        if (!LoadVFile(PathFromUtf8(path), payload, header, &why))
            return Outcome(DocumentResult::Unreadable, LoadErrorText(path), MsgIcon::Error, path, why);
        if (rule == DocumentRule::NewerModels && IsOlderModel(header.modelCode))
            return Outcome(DocumentResult::OlderModel, {}, MsgIcon::None, path);
        if (rule == DocumentRule::FamilyDocument && (header.kindCode != kKindVmcf || !Is5100Family(header.modelCode)))
            return Outcome(DocumentResult::NotAFamilyDocument,
                           "Not a QM-5100 family document (kind " + std::to_string(header.kindCode) + ", model " +
                               std::to_string(header.modelCode) + ") !\n\nPath: " + path,
                           MsgIcon::Error, path);
        auto image = flash.Image();
        if (image.empty() || payload.size() > image.size())
            return Outcome(DocumentResult::TooLarge, LoadErrorText(path), MsgIcon::Error, path);
        std::copy(payload.begin(), payload.end(), image.begin());
        return Outcome(DocumentResult::Ok, {}, MsgIcon::None, path);
    } catch (const std::exception&) {
        return Outcome(DocumentResult::Unreadable, LoadErrorText(path), MsgIcon::Error, path);
    }
}

DocumentOutcome DocumentHeaderForImage(const TTiFlashFm& flash, uint16_t modelCode, VFileHeader& header) {
    // The older families keep their flash elsewhere; a document holds the
    // memory image only.
    if (IsOlderModel(modelCode)) return Outcome(DocumentResult::OlderModel, {}, MsgIcon::None, {});
    std::span<const uint8_t> image = flash.Image();
    if (image.empty())
        return Outcome(DocumentResult::NotReady,
                       Is5100Family(modelCode) ? "Ti 5k Flash not ready !" : "Ti 4k Flash not ready !",
                       MsgIcon::Error, {});
    // The payload is the first part of a 5100-family image.
    if (image.size() < kDocumentImageBytes)
        return Outcome(DocumentResult::NotReady, "Ti 5k Flash not ready !", MsgIcon::Error, {});
    if (!FillDocumentHeader(ImageVersionWord(image, modelCode), header))
        return Outcome(DocumentResult::NoModel, "Please Select Model first !", MsgIcon::Information, {});
    return Outcome(DocumentResult::Ok, {}, MsgIcon::None, {});
}

DocumentOutcome WriteImageDocument(const TTiFlashFm& flash, VFileHeader& header, const std::string& path,
                                   const Clock& clock, Random& random) {
    std::string why;
    try {
        const std::span<const uint8_t> image = flash.Image();
        if (image.size() >= kDocumentImageBytes &&
            SaveVFile(PathFromUtf8(path), image.first(kDocumentImageBytes), header, clock, random, &why))
            return Outcome(DocumentResult::Ok, {}, MsgIcon::None, path);
    } catch (const std::exception&) {
    }
    return Outcome(DocumentResult::WriteFailed, "Make V File Error ! \n\nPath: " + path, MsgIcon::Error, path, why);
}

DocumentOutcome SaveImageAsDocument(const TTiFlashFm& flash, uint16_t modelCode, const std::string& path,
                                    const Clock& clock, Random& random) {
    VFileHeader header;
    DocumentOutcome checked = DocumentHeaderForImage(flash, modelCode, header);
    if (!checked.Ok()) {
        checked.path = path;
        return checked;
    }
    return WriteImageDocument(flash, header, path, clock, random);
}

DocumentOutcome BackupDocumentHeader(uint16_t modelCode, std::span<const uint8_t> flash, VFileHeader& header,
                                     std::span<const uint8_t>& payload) {
    if (Is5100Family(modelCode)) {
        if (flash.size() < kDocumentImageBytes)
            return Outcome(DocumentResult::NotReady, "Ti 5k Flash not ready !", MsgIcon::Error, {});
        if (!FillDocumentHeader(ImageVersionWord(flash, modelCode), header))
            return Outcome(DocumentResult::NoModel, "Please Select Model first !", MsgIcon::Information, {});
        payload = flash.first(kDocumentImageBytes);
        return Outcome(DocumentResult::Ok, {}, MsgIcon::None, {});
    }
    // Where an older remote's flash keeps a version is not known.
    const uint16_t version = IsOlderModel(modelCode) ? 0 : ImageVersionWord(flash, modelCode);
    if (!FillVFileHeader(kKindVmcf, modelCode, version, header))
        return Outcome(DocumentResult::NoModel, "Please Select Model first !", MsgIcon::Information, {});
    SetSingleName(header, FieldText(header.modelName) + "_");
    payload = flash;
    return Outcome(DocumentResult::Ok, {}, MsgIcon::None, {});
}

DocumentOutcome SaveBackupDocument(uint16_t modelCode, std::span<const uint8_t> flash, const std::string& path,
                                   const Clock& clock, Random& random) {
    VFileHeader header;
    std::span<const uint8_t> payload;
    DocumentOutcome outcome = BackupDocumentHeader(modelCode, flash, header, payload);
    outcome.path = path;
    if (!outcome.Ok()) return outcome;
    try {
        if (SaveVFile(PathFromUtf8(path), payload, header, clock, random, &outcome.why)) return outcome;
    } catch (const std::exception&) {
    }
    return Outcome(DocumentResult::WriteFailed, "Make V File Error ! \n\nPath: " + path, MsgIcon::Error, path,
                   outcome.why);
}

}  // namespace orvalink
