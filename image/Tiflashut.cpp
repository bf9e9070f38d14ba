#include "image/Tiflashut.h"

#include <algorithm>
#include <new>

namespace orvalink {

namespace {

constexpr std::array<uint32_t, 29> kPages5100 = {
    0,   4,   0,    0,    10,   40,   43,   51,   69,   78,   95,   103,  112,  111, 150,
    150, 150, 150,  233,  245,  1013, 1013, 1018, 1042, 1090, 1346, 3334, 3382, 3781};
constexpr std::array<uint32_t, 15> kPages2300 = {1,   2,   9,   21,  32,  416, 417, 418,
                                                 419, 576, 639, 649, 661, 681, 705};
constexpr size_t k2300ZeroStart = 528;  // page 2: the glyph table of the 2300 layout
constexpr size_t k2300ZeroLength = 1584;

}  // namespace

TTiFlashFm::TTiFlashFm() { SelectModel(kSelector5100); }

TTiFlashFm::TTiFlashFm(NoImage) {}

TTiFlashFm::~TTiFlashFm() { Release(); }

bool TTiFlashFm::SelectModel(uint16_t selector) {
    if (allocated_ == kAllocatedMarker && selector == layout_.selector) return true;
    size_t pages = 0;
    switch (selector) {
        case kSelector2300: pages = 2048; break;
        case kSelector5100:
        case kSelector5110: pages = 4096; break;
        case kSelector5120: pages = 8192; break;
        default: return false;
    }
    layout_.selector = selector;
    layout_.blockSize = kBlockSize;
    for (size_t i = 0; i < kPages2300.size(); ++i) layout_.set2300[i] = uint32_t(kPages2300[i] * kPageSize);
    layout_.set2300[15] = 540672;
    layout_.set2300[16] = 540671;
    for (size_t i = 0; i < kPages5100.size(); ++i) layout_.set5100[i] = uint32_t(kPages5100[i] * kPageSize);

    headerStart_ = headerLength_ = payloadUnits_ = 0;
    if (selector == kSelector2300) {
        layout_.blockCount = 12672;
        layout_.libraryCount = 44318;
        layout_.upperLength = 360888;
        layout_.transferLength = 179784;
    } else {
        layout_.blockCount = 16896;
        layout_.libraryCount = 65604;
        if (selector == kSelector5120) {
            layout_.upperLength = 2162688;
            layout_.transferLength = 0;
            headerStart_ = 0;
            headerLength_ = 13312;
            payloadUnits_ = 268672;
        } else {
            layout_.upperLength = 537504;
            layout_.transferLength = 267432;
        }
    }
    layout_.secondBlockCount = 8448;
    layout_.codeIndexCount = 3072;
    layout_.maxDevices = 64;

    try {
        if (allocated_ == kAllocatedMarker) buffer_.clear();
        buffer_.assign(pages * kPageSize, 0xFF);
        buffer_.shrink_to_fit();
    } catch (const std::bad_alloc&) {
        buffer_.clear();
        allocated_ = 0;
        ContentsReplaced();
        return false;
    }
    if (selector == kSelector2300)
        std::fill_n(buffer_.begin() + k2300ZeroStart, k2300ZeroLength, uint8_t(0x00));
    allocated_ = kAllocatedMarker;
    ContentsReplaced();
    return true;
}

std::pair<uint8_t*, bool> TTiFlashFm::ImageData() {
    if (allocated_ != kAllocatedMarker) return {nullptr, false};
    return {buffer_.data(), true};
}

std::pair<const uint8_t*, bool> TTiFlashFm::ImageData() const {
    if (allocated_ != kAllocatedMarker) return {nullptr, false};
    return {buffer_.data(), true};
}

std::span<uint8_t> TTiFlashFm::Image() {
    if (allocated_ != kAllocatedMarker) return {};
    return {buffer_.data(), buffer_.size()};
}

std::span<const uint8_t> TTiFlashFm::Image() const {
    if (allocated_ != kAllocatedMarker) return {};
    return {buffer_.data(), buffer_.size()};
}

bool TTiFlashFm::Release() {
    if (allocated_ != kAllocatedMarker) return false;
    std::vector<uint8_t>().swap(buffer_);
    allocated_ = 0;
    ContentsReplaced();
    return true;
}

int TTiFlashFm::HeadByte408() const { return ImageSize() > 408 ? buffer_[408] : -1; }
int TTiFlashFm::HeadByte409() const { return ImageSize() > 409 ? buffer_[409] : -1; }

}  // namespace orvalink
