#include "editors/core/MacroSteps.h"

#include <charconv>

#include "image/Tiflashut.h"

namespace orvalink {

namespace {

constexpr int kMaxCursorNumber = 64;

// The whole number the text starts with, or -1 when it holds none.
int WholeNumber(std::string_view text) {
    int value = -1;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end == first || value < 0) return -1;
    return value;
}

}  // namespace

bool StepWindowOpensDevice(int device, int shown) {
    if (device == shown) return false;
    return device == kHomeSlot || (device >= 1 && device <= kLastDeviceSlot);
}

bool StepCursorAcceptable(const MacroStepCursor& c) {
    return c.device <= kMaxCursorNumber && c.key <= kMaxCursorNumber && c.delay <= kMaxStepDelay &&
           c.step <= kMaxCursorNumber && c.total <= kMaxCursorNumber;
}

std::vector<std::string> DelayItems() {
    std::vector<std::string> items{"0.5"};
    for (int s = 1; s <= kMaxStepDelay; ++s) items.push_back(std::to_string(s));
    return items;
}

int DelayOfRecordedText(std::string_view text) {
    if (text == "0.5" || text == "0.3") return 0;
    const int value = WholeNumber(text);
    return value < 0 || value > kMaxStepDelay ? 0 : value;
}

std::string TrimmedDelayText(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return std::string(text.substr(first, last - first + 1));
}

int DelayOfChangedText(std::string_view text) {
    const std::string trimmed = TrimmedDelayText(text);
    if (trimmed.size() == 3) return 0;
    const int value = WholeNumber(trimmed);
    return value < 0 || value > kMaxStepDelay ? 0 : value;
}

StepRecordOutcome RecordStep(MacroStepCursor& cursor, int device, int key, int delay) {
    StepRecordOutcome out;
    cursor.device = uint8_t(device);
    cursor.key = uint8_t(key);
    cursor.delay = uint8_t(delay);
    switch (cursor.operation) {
        case kStepNew:
        case kStepInsert:
            if (cursor.total >= kMaxRecordedSteps) {
                out.result = StepRecord::OutOfSteps;
                return out;
            }
            out.result = StepRecord::Handed;
            out.handed = cursor;
            ++cursor.step;
            ++cursor.total;
            out.countersMoved = true;
            return out;
        case kStepEdit:
            out.result = StepRecord::Handed;
            out.handed = cursor;
            return out;
        default: return out;
    }
}

bool MoveStepCursor(MacroStepCursor& cursor, int direction) {
    if (cursor.operation == kStepEdit || cursor.total == 0 || direction == 0) return false;
    int step = int(cursor.step) + (direction < 0 ? -1 : 1);
    if (step < 1) step = cursor.total;
    if (step > cursor.total) step = 1;
    cursor.step = uint16_t(step);
    return true;
}

}  // namespace orvalink
