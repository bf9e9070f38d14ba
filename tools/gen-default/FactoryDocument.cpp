#include "tools/gen-default/FactoryDocument.h"

#include "formats/Flashut.h"
#include "platform/Clock.h"
#include "platform/Random.h"
#include "tools/gen-default/FactoryImage.h"

namespace orvalink::gen {

namespace {

// The factory's own clock: always the same second.
class FactoryClock final : public Clock {
public:
    int64_t NowSeconds() const override { return kFactoryDocumentSeconds; }
    LocalDate Today() const override { return {2026, 1, 1}; }
};

}  // namespace

bool FactoryDocumentBytes(const TTiFlashFm& flash, std::vector<uint8_t>& file, std::string& error) {
    auto image = flash.Image();
    if (image.size() < kDocumentImageBytes) {
        error = "the factory image is smaller than a document's payload";
        return false;
    }
    VFileHeader header;
    const uint16_t version = uint16_t(kFactoryVersionMajor << 8 | kFactoryVersionMinor);
    if (!FillVFileHeader(kKindVmcf, 2000, version, header)) {
        error = "the model catalogue does not know the QM-5100";
        return false;
    }
    SetSingleName(header, FieldText(header.modelName) + "_");
    FactoryClock clock;
    Pcg32Random random;
    if (!BuildVFileBytes(image.first(kDocumentImageBytes), header, clock, random, file)) {
        error = "the factory document cannot be made";
        return false;
    }
    return true;
}

}  // namespace orvalink::gen
