#include "image/ImageRegions.h"

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <string_view>

#include "image/BlockStore.h"
#include "image/CodeRecords.h"
#include "image/DeviceTree.h"

namespace orvalink {

namespace {

// The named areas of the 4096-page layout, as page ranges [first, end).
// Areas the remote keeps for itself and this program never reads are left
// out: their pages are named by number.
struct Area {
    uint32_t first;
    uint32_t end;
    const char* what;  // null: named per device or per record
};

enum class AreaKind { Fixed, DevicePages, BlockStore };

struct PageArea {
    AreaKind kind = AreaKind::Fixed;
    const char* what = nullptr;  // Fixed only; null = no area claims the page
};

constexpr uint32_t kPage = uint32_t(kPageSize);

uint32_t PageOf(uint32_t offset) { return offset / kPage; }

// The areas of one image's layout, worked out once for all the pages asked.
class PageAreas {
public:
    explicit PageAreas(const TTiFlashFm& flash) {
        const uint32_t glyphs = PageOf(flash.GlyphTableStart());
        const uint32_t icons = PageOf(flash.IconTableStart());
        const uint32_t welcome10 = PageOf(flash.Welcome10Start());
        const uint32_t settings = PageOf(flash.SettingsPageStart());
        const uint32_t welcome20 = PageOf(flash.Welcome20Start());
        devices_ = PageOf(flash.DevicePagesStart());
        const uint32_t blockMap = PageOf(flash.BlockMapStart());
        store_ = PageOf(flash.BlockStoreStart());
        storeEnd_ = store_ + (uint32_t(flash.BlockCount()) * kBlockSize + kPage - 1) / kPage;
        const uint32_t secondEnd = storeEnd_ + (flash.Layout().secondBlockCount * kBlockSize) / kPage;
        const uint32_t codeIndex = PageOf(flash.CodeIndexStart());
        const uint32_t codeIndexEnd = codeIndex + (uint32_t(flash.CodeIndexCount()) * 4 + kPage - 1) / kPage;
        const uint32_t library = PageOf(flash.CodeLibraryStart());
        const uint32_t libraryEnd = library + (flash.LibraryCount() * kBlockSize + kPage - 1) / kPage;
        constexpr uint32_t kPictureBytes = 2080;
        const uint32_t picturePages = (kPictureBytes + kPage - 1) / kPage;
        fixed_ = {{
            {0, 1, "image head"},
            {glyphs, icons, "glyphs"},
            {icons, icons + (165 * 48 + kPage - 1) / kPage, "icons"},
            {welcome10, welcome10 + picturePages, "welcome picture (system)"},
            {settings, settings + 1, "settings"},
            {welcome20, welcome20 + picturePages, "welcome picture (real system)"},
            {blockMap, blockMap + (uint32_t(flash.BlockCount()) / 8 + kPage - 1) / kPage, "block map"},
            {storeEnd_, secondEnd, "second block area"},
            {codeIndex, codeIndexEnd, "code index"},
            {library, libraryEnd, "code library"},
        }};
    }

    PageArea Of(uint32_t page) const {
        for (const Area& a : fixed_)
            if (page >= a.first && page < a.end) return {AreaKind::Fixed, a.what};
        if (page >= devices_ && page < devices_ + kDeviceSlots) return {AreaKind::DevicePages, nullptr};
        if (page >= store_ && page < storeEnd_) return {AreaKind::BlockStore, nullptr};
        return {};
    }

private:
    std::array<Area, 10> fixed_{};
    uint32_t devices_ = 0;
    uint32_t store_ = 0;
    uint32_t storeEnd_ = 0;
};

// Which key (device x 64 + key) holds each block of the store: its key
// record, the record behind it, and a cycle list's step codes.
std::vector<int> BlockOwners(const TTiFlashFm& flash) {
    std::vector<int> owners(flash.BlockCount(), -1);
    const auto claim = [&](uint32_t block, int sizeLimit, int owner) {
        if (!IsBlockIndex(flash, block) || block == kNoIndex) return std::span<const uint8_t>{};
        const std::span<const uint8_t> head = StoreBytes(flash, int(block), 1);
        if (head.empty()) return head;
        const int size = head[0];
        if (size < 1 || size > sizeLimit || block + uint32_t(size) > owners.size()) return std::span<const uint8_t>{};
        for (int i = 0; i < size; ++i) owners[block + uint32_t(i)] = owner;
        return StoreBytes(flash, int(block), size);
    };
    for (int device = 0; device < kDeviceSlots; ++device) {
        for (int key = 0; key < kKeysPerDevice; ++key) {
            KeySlot slot;
            if (!ReadKeySlot(flash, device, key, slot)) continue;
            const int owner = device * kKeysPerDevice + key;
            if (slot.HasKeyRecord()) claim(slot.keyRecord, 6, owner);
            if (!slot.HasCode()) continue;
            const std::span<const uint8_t> record = claim(slot.CodeBlock(), kMaxIrCodeBlocks, owner);
            if (record.size() < 8 || record[1] != kCycleMarker) continue;
            const int steps = std::min<int>(record[7], kMaxCycleSteps);
            for (int i = 0; i < steps && 8 + 2 * size_t(i) + 1 < record.size(); ++i) {
                const uint16_t step = uint16_t(record[8 + 2 * size_t(i)] | record[9 + 2 * size_t(i)] << 8);
                if (step == kNoIndex) break;
                claim(step, kMaxIrCodeBlocks, owner);
            }
        }
    }
    return owners;
}

std::string PagesText(uint32_t first, uint32_t last) {
    return first == last ? "page " + std::to_string(first)
                         : "pages " + std::to_string(first) + "-" + std::to_string(last);
}

// "key 7", "keys 12-14", "keys 6, 9, 12-14".
std::string KeysText(const std::set<int>& keys) {
    std::string runs;
    for (auto it = keys.begin(); it != keys.end();) {
        const int first = *it;
        int last = first;
        for (++it; it != keys.end() && *it == last + 1; ++it) last = *it;
        runs += (runs.empty() ? "" : ", ") + std::to_string(first);
        if (last != first) runs += "-" + std::to_string(last);
    }
    const bool one = keys.size() == 1;
    return (one ? "key " : "keys ") + runs;
}

}  // namespace

namespace {

// Every slot's name, from one walk of the tree.
std::vector<std::string> DeviceDisplayNames(const TTiFlashFm& flash) {
    std::vector<std::string> names(kDeviceSlots);
    for (int slot = 0; slot < kDeviceSlots; ++slot) names[size_t(slot)] = "device " + std::to_string(slot);
    names[kHomeSlot] = "Home";
    names[kMacroSlot] = "Macro";
    std::vector<bool> named(kDeviceSlots, false);
    VisitDeviceTree(flash, [&](const DeviceTreeNode& node, int) {
        const int slot = node.key.link;
        if (slot < 1 || slot > kLastDeviceSlot || named[size_t(slot)] || node.text.empty()) return;
        named[size_t(slot)] = true;
        names[size_t(slot)] = "device " + node.text;
    });
    return names;
}

}  // namespace

std::string DeviceDisplayName(const TTiFlashFm& flash, int slot) {
    if (slot < 0 || slot >= kDeviceSlots) return "device " + std::to_string(slot);
    return DeviceDisplayNames(flash)[size_t(slot)];
}

std::vector<PageRegion> DescribePages(const TTiFlashFm& flash, std::span<const uint32_t> pages) {
    std::vector<uint32_t> sorted(pages.begin(), pages.end());
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());

    // Each region in the order its first page comes; device regions gather
    // the keys their pages hold.
    struct Building {
        PageRegion region;
        int device = -1;
        std::set<int> keys;
        bool run = false;  // unclaimed pages, named by number
    };
    std::vector<Building> regions;
    // Keyed by the areas' own names (string literals), with the region the
    // previous page went to tried first: pages come in order, runs of them
    // in one area.
    std::map<std::string_view, size_t> byName;
    size_t lastNamed = SIZE_MAX;
    std::map<int, size_t> byDevice;
    std::vector<int> owners;
    const PageAreas areas(flash);
    const uint32_t devicePages = PageOf(flash.DevicePagesStart());
    const uint32_t storeStart = flash.BlockStoreStart();

    const auto addNamed = [&](std::string_view what, uint32_t page) {
        if (lastNamed < regions.size() && regions[lastNamed].region.what == what) {
            regions[lastNamed].region.pages.push_back(page);
            return;
        }
        auto [it, fresh] = byName.emplace(what, regions.size());
        if (fresh) {
            Building b;
            b.region.what = std::string(what);
            regions.push_back(std::move(b));
        }
        lastNamed = it->second;
        regions[it->second].region.pages.push_back(page);
    };
    const auto addDevice = [&](int device, int key, uint32_t page) {
        auto [it, fresh] = byDevice.emplace(device, regions.size());
        if (fresh) {
            Building b;
            b.device = device;
            regions.push_back(std::move(b));
        }
        Building& b = regions[it->second];
        if (b.region.pages.empty() || b.region.pages.back() != page) b.region.pages.push_back(page);
        if (key >= 0) b.keys.insert(key);
    };
    const auto addUnclaimed = [&](uint32_t page) {
        if (!regions.empty() && regions.back().run && regions.back().region.pages.back() + 1 == page) {
            regions.back().region.pages.push_back(page);
            return;
        }
        Building b;
        b.run = true;
        b.region.pages.push_back(page);
        regions.push_back(std::move(b));
    };

    for (uint32_t page : sorted) {
        if (page >= flash.PageCount()) {
            addUnclaimed(page);
            continue;
        }
        const PageArea area = areas.Of(page);
        switch (area.kind) {
        case AreaKind::Fixed:
            if (!area.what) addUnclaimed(page);
            else addNamed(area.what, page);
            break;
        case AreaKind::DevicePages:
            addDevice(int(page - devicePages), -1, page);
            break;
        case AreaKind::BlockStore: {
            if (owners.empty()) owners = BlockOwners(flash);
            const uint32_t firstByte = page * uint32_t(kPageSize);
            const uint32_t firstBlock = firstByte < storeStart ? 0 : (firstByte - storeStart) / kBlockSize;
            const uint32_t endBlock = std::min<uint32_t>(
                uint32_t(owners.size()), (firstByte + uint32_t(kPageSize) - storeStart + kBlockSize - 1) / kBlockSize);
            bool any = false;
            for (uint32_t b = firstBlock; b < endBlock; ++b) {
                if (owners[b] < 0) continue;
                addDevice(owners[b] / kKeysPerDevice, owners[b] % kKeysPerDevice, page);
                any = true;
            }
            if (!any) addNamed("free blocks", page);
            break;
        }
        }
    }

    std::vector<std::string> names;
    std::vector<PageRegion> out;
    out.reserve(regions.size());
    for (Building& b : regions) {
        if (b.run) b.region.what = PagesText(b.region.pages.front(), b.region.pages.back());
        else if (b.device >= 0) {
            if (names.empty()) names = DeviceDisplayNames(flash);
            b.region.what = names[size_t(b.device)];
            if (!b.keys.empty()) b.region.what += " " + KeysText(b.keys);
        }
        out.push_back(std::move(b.region));
    }
    return out;
}

std::string DescribePagesText(const TTiFlashFm& flash, std::span<const uint32_t> pages) {
    std::string text;
    for (const PageRegion& r : DescribePages(flash, pages)) text += (text.empty() ? "" : ", ") + r.what;
    return text;
}

}  // namespace orvalink
