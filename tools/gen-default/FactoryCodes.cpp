#include "tools/gen-default/FactoryCodes.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "tools/gen-default/AssetText.h"

namespace orvalink::gen {

namespace {

constexpr size_t kTypeColumns = 16;
constexpr size_t kBrandColumns = 30;
constexpr size_t kMaxCodesPerLine = 83;

CodeListing& ListingOf(FactoryCodes& codes, const std::string& type, const std::string& brand) {
    for (auto& l : codes.listings)
        if (l.deviceType == type && l.brand == brand) return l;
    codes.listings.push_back({type, brand, {}});
    return codes.listings.back();
}

}  // namespace

int TemplateOfDeviceType(const std::vector<LayoutTemplate>& templates, const std::string& type) {
    // Cable boxes share the satellite receivers' layout and code range.
    const std::string wanted = type == "CABLE" ? "SAT" : type;
    for (const auto& t : templates)
        if (t.deviceType == wanted) return t.number;
    return 0;
}

bool ReadFactoryCodes(const std::filesystem::path& path, const std::vector<LayoutTemplate>& templates,
                      FactoryCodes& result, std::string& error) {
    std::vector<AssetLine> lines;
    if (!ReadAssetLines(path, lines, error)) return false;
    auto fail = [&](int line, const std::string& message) {
        error = AssetError(path, line, message);
        return false;
    };
    std::set<std::string> functions;
    for (const auto& t : templates)
        for (const auto& f : t.functions)
            if (!f.empty()) functions.insert(f);

    std::map<std::string, std::map<std::string, unsigned>> maps;
    std::string openMap;
    FactoryCodes out;
    std::set<int> numbers;
    for (const auto& line : lines) {
        const auto& w = line.words;
        if (w.empty()) continue;
        if (!openMap.empty()) {
            if (w.size() == 1 && w[0] == "end") {
                openMap.clear();
                continue;
            }
            for (const auto& pair : w) {
                auto eq = pair.find('=');
                unsigned command = 0;
                if (eq == std::string::npos || !ParseAssetNumber(pair.substr(eq + 1), 0xFF, command))
                    return fail(line.number, "expected FUNCTION=COMMAND, found '" + pair + "'");
                std::string function = pair.substr(0, eq);
                if (!functions.count(function))
                    return fail(line.number, "no template has a key for the function '" + function + "'");
                if (!maps[openMap].emplace(function, command).second)
                    return fail(line.number, "function '" + function + "' given twice in map " + openMap);
            }
            continue;
        }
        if (w[0] == "map") {
            if (w.size() != 2) return fail(line.number, "expected 'map NAME'");
            if (maps.count(w[1])) return fail(line.number, "map " + w[1] + " is defined twice");
            openMap = w[1];
            maps[openMap];
        } else if (w[0] == "code") {
            unsigned number = 0;
            if (w.size() < 7 || !ParseAssetNumber(w[1], 3071, number))
                return fail(line.number, "expected 'code NUMBER TYPE \"BRAND\" PROTOCOL ADDRESS MAP...'");
            if (!numbers.insert(int(number)).second)
                return fail(line.number, "code " + std::to_string(number) + " is given twice");
            FactoryCode c;
            c.number = int(number);
            c.line = line.number;
            c.deviceType = w[2];
            c.brand = w[3];
            c.protocol = w[4];
            c.address = w[5];
            int layout = TemplateOfDeviceType(templates, c.deviceType);
            if (layout == 0) return fail(line.number, "no template for the device type " + c.deviceType);
            if (TemplateOfCode(c.number) != layout)
                return fail(line.number, "code " + std::to_string(c.number) + " loads template " +
                                             std::to_string(TemplateOfCode(c.number)) + ", not the " +
                                             c.deviceType + " template " + std::to_string(layout));
            for (size_t i = 6; i < w.size(); ++i) {
                auto it = maps.find(w[i]);
                if (it == maps.end()) return fail(line.number, "no map named " + w[i] + " above this line");
                for (const auto& [f, cmd] : it->second) c.commands[f] = cmd;
            }
            std::string protocolError;
            auto protocol = MakeProtocol(c.protocol, c.address, protocolError);
            if (!protocol) return fail(line.number, protocolError);
            for (const auto& [f, cmd] : c.commands)
                if (!protocol->Encode(cmd))
                    return fail(line.number, "command " + std::to_string(cmd) + " of " + f + " does not fit " +
                                                 c.protocol);
            ListingOf(out, c.deviceType, c.brand).codes.push_back(c.number);
            out.codes.push_back(std::move(c));
        } else if (w[0] == "brand") {
            if (w.size() < 4) return fail(line.number, "expected 'brand TYPE \"BRAND\" NUMBER...'");
            auto& listing = ListingOf(out, w[1], w[2]);
            for (size_t i = 3; i < w.size(); ++i) {
                unsigned number = 0;
                if (!ParseAssetNumber(w[i], 3071, number) || !numbers.count(int(number)))
                    return fail(line.number, "'" + w[i] + "' is not a code number given above");
                listing.codes.push_back(int(number));
            }
        } else {
            return fail(line.number, "unknown word '" + w[0] + "'");
        }
    }
    if (!openMap.empty()) {
        error = path.filename().string() + ": map " + openMap + " has no 'end'";
        return false;
    }
    for (auto& l : out.listings) {
        std::sort(l.codes.begin(), l.codes.end());
        l.codes.erase(std::unique(l.codes.begin(), l.codes.end()), l.codes.end());
    }
    result = std::move(out);
    return true;
}

bool MakeCodeSet(const FactoryCode& code, const LayoutTemplate& layout, CodeSetSource& set, std::string& error) {
    auto protocol = MakeProtocol(code.protocol, code.address, error);
    if (!protocol) return false;
    CodeSetSource s;
    s.codeType = protocol->CodeType();
    s.carrierPeriod = CarrierPeriod(protocol->CarrierHz());
    s.timings = protocol->Timings();
    int keys = 0;
    for (int k = 0; k < kLibraryKeys; ++k) {
        const std::string& function = layout.functions[size_t(k)];
        if (function.empty()) continue;
        auto it = code.commands.find(function);
        if (it == code.commands.end()) continue;
        s.keys[size_t(k)] = protocol->Encode(it->second);
        keys += s.keys[size_t(k)].has_value();
    }
    if (keys == 0) {
        error = "code " + std::to_string(code.number) + " gives no key of template " + std::to_string(layout.number) +
                " a command";
        return false;
    }
    set = std::move(s);
    return true;
}

bool CodeTableText(const FactoryCodes& codes, std::string& text, std::string& error) {
    std::string out;
    for (const auto& l : codes.listings) {
        if (l.deviceType.size() > kTypeColumns || l.brand.size() > kBrandColumns) {
            error = "device type '" + l.deviceType + "' or brand '" + l.brand + "' is too long for its columns";
            return false;
        }
        // The picker skips a line of 50 characters or fewer, which a line
        // with a single code number would be; so is a line of more than 83.
        if (l.codes.size() < 2 || l.codes.size() > kMaxCodesPerLine) {
            error = "brand '" + l.brand + "' (" + l.deviceType + ") lists " + std::to_string(l.codes.size()) +
                    " codes; a code table line holds 2 to 83";
            return false;
        }
        for (size_t start = 0; start < l.codes.size(); start += kMaxCodesPerLine) {
            std::string line = l.deviceType + std::string(kTypeColumns - l.deviceType.size(), ' ') + l.brand +
                               std::string(kBrandColumns - l.brand.size(), ' ');
            size_t end = std::min(l.codes.size(), start + kMaxCodesPerLine);
            for (size_t i = start; i < end; ++i) {
                char field[8];
                std::snprintf(field, sizeof field, "%04d", l.codes[i]);
                line += field;
                if (i + 1 < end) line += ", ";
            }
            out += line + "\r\n";
        }
    }
    if (out.size() < 101 || out.size() > 199999) {
        error = "the code table is " + std::to_string(out.size()) + " bytes; it must be 101..199999";
        return false;
    }
    text = std::move(out);
    return true;
}

}  // namespace orvalink::gen
