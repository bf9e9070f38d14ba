// The memory image holder: the program's one copy of the remote's
// configuration flash, and the layout table of the selected model variant.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace orvalink {

// Sizes shared by every variant.
inline constexpr size_t kPageSize = 264;
inline constexpr uint16_t kBlockSize = 8;
inline constexpr int kDeviceSlots = 66;       // 0 Home, 1..64 devices, 65 Macro
inline constexpr int kHomeSlot = 0;
inline constexpr int kMacroSlot = 65;
inline constexpr int kLastDeviceSlot = 64;    // devices are slots 1..64; a Device key links to one
inline constexpr int kKeysPerDevice = 64;     // 0..5 hard keys, 6..63 soft keys
inline constexpr int kHardKeyCount = 6;
// The part of the image that the main download and upload move: pages 0..1012.
inline constexpr size_t kTransferPages = 1013;
inline constexpr size_t kTransferBytes = kTransferPages * kPageSize;  // 267432
// The pre-programmed code region of the 4096-page layout: pages 1018 to 3381,
// from the region before the code index through the code index, the region
// after it and the code library to the end of the 48 pages that follow the
// library. An upgrade of the pre-programmed code alone rewrites these pages
// and keeps every other page as the remote has it (the configuration pages
// 0..1012, pages 1013..1017 and everything from page 3382 on).
inline constexpr uint16_t kCodeRegionFirstPage = 1018;
inline constexpr uint16_t kCodeRegionLastPage = 3381;
inline constexpr uint16_t kCodeRegionPages = kCodeRegionLastPage - kCodeRegionFirstPage + 1;  // 2364
// A document stores this many bytes of a 5100-family image.
inline constexpr size_t kDocumentImageBytes = 0x107FF6;  // 1081334

// The modified mark of the document and of a device editor: changed since it
// was last saved or loaded, or not.
inline constexpr uint8_t kMarkUnchanged = 255;
inline constexpr uint8_t kMarkChanged = 16;

// Model selectors accepted by SelectModel.
enum : uint16_t {
    kSelector2300 = 2300,
    kSelector5100 = 5100,
    kSelector5110 = 5110,
    kSelector5120 = 5120,
};

// The layout table, in the order the holder keeps it.
struct LayoutTable {
    // First set: starts of the 2048-page QM-2300 layout, then its end and its last byte.
    std::array<uint32_t, 17> set2300{};
    // Second set: region starts of the 4096-page layout used by every image operation.
    std::array<uint32_t, 29> set5100{};
    uint16_t blockSize = 0;
    uint32_t upperLength = 0;     // not read by the image operations
    uint32_t transferLength = 0;  // not read by the image operations
    uint16_t blockCount = 0;      // blocks in the block store
    uint32_t libraryCount = 0;    // eight-byte units of the code library
    uint32_t secondBlockCount = 0;
    uint16_t codeIndexCount = 0;
    uint8_t maxDevices = 0;
    uint16_t selector = 0;
};

class TTiFlashFm {
public:
    TTiFlashFm();  // selects 5100, so an empty QM-5100 image exists from the start
    ~TTiFlashFm();
    TTiFlashFm(const TTiFlashFm&) = delete;
    TTiFlashFm& operator=(const TTiFlashFm&) = delete;

    // A holder with no image yet (for code that must see "no image").
    struct NoImage {};
    explicit TTiFlashFm(NoImage);

    // Sets the variant, the layout table and the image buffer. The same
    // selector again keeps the image as it is; another one gives a fresh
    // image of the new variant; an unknown selector changes nothing.
    bool SelectModel(uint16_t selector);

    // The first image byte and whether an image exists.
    std::pair<uint8_t*, bool> ImageData();
    std::pair<const uint8_t*, bool> ImageData() const;
    // The whole image as a span (empty when there is none).
    std::span<uint8_t> Image();
    std::span<const uint8_t> Image() const;
    size_t ImageSize() const { return allocated_ == kAllocatedMarker ? buffer_.size() : 0; }
    size_t PageCount() const { return ImageSize() / kPageSize; }

    // Frees the buffer; false when there was none.
    bool Release();

    // Which contents the image holds: the number changes whenever the whole
    // image is replaced (a document opened, a download committed, a fresh
    // image of another model, the buffer freed). An editor remembers the
    // number it read its device under and never writes into other contents.
    uint64_t Generation() const { return generation_; }
    // Called by whoever has just put other contents into the whole image.
    void ContentsReplaced() { ++generation_; }

    const LayoutTable& Layout() const { return layout_; }
    uint16_t Selector() const { return layout_.selector; }
    uint16_t BlockCount() const { return layout_.blockCount; }
    uint32_t LibraryCount() const { return layout_.libraryCount; }
    uint16_t CodeIndexCount() const { return layout_.codeIndexCount; }
    uint8_t MaxDevices() const { return layout_.maxDevices; }

    // Region starts (byte offsets) of the layout every operation uses.
    uint32_t HeadPageStart() const { return layout_.set5100[0]; }
    uint32_t GlyphTableStart() const { return layout_.set5100[1]; }
    uint32_t IconTableStart() const { return layout_.set5100[4]; }
    uint32_t Welcome10Start() const { return layout_.set5100[10]; }
    uint32_t SettingsPageStart() const { return layout_.set5100[11]; }
    uint32_t Welcome20Start() const { return layout_.set5100[12]; }
    uint32_t DevicePagesStart() const { return layout_.set5100[14]; }
    uint32_t BlockMapStart() const { return layout_.set5100[18]; }
    uint32_t BlockStoreStart() const { return layout_.set5100[19]; }
    uint32_t CodeIndexStart() const { return layout_.set5100[23]; }
    uint32_t CodeLibraryStart() const { return layout_.set5100[25]; }

    // The 5120 header values (0 for other variants).
    uint32_t HeaderAreaStart() const { return headerStart_; }
    uint32_t HeaderAreaLength() const { return headerLength_; }
    uint32_t PayloadUnits() const { return payloadUnits_; }

    // Bytes at base + 408 and base + 409 (-1 when there is no image).
    int HeadByte408() const;
    int HeadByte409() const;

private:
    static constexpr uint8_t kAllocatedMarker = 10;

    std::vector<uint8_t> buffer_;
    uint8_t allocated_ = 0;
    LayoutTable layout_;
    uint32_t headerStart_ = 0;
    uint32_t headerLength_ = 0;
    uint32_t payloadUnits_ = 0;
    uint64_t generation_ = 0;
};

}  // namespace orvalink
