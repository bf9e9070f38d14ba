// Bounds-checked little-endian byte reader and writer.
//
// Every parser in the core reads through ByteReader and writes through
// ByteWriter. Both keep a sticky "ok" flag: the first access that would run
// past the end of the span clears it, and from then on every read yields 0
// and every write is dropped, so a parser can read a whole record and check
// ok() once at the end. Nothing is ever read or written outside the span.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

namespace orvalink {

class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}
    ByteReader(const uint8_t* data, size_t size) : data_(data, size) {}

    bool ok() const { return ok_; }
    size_t size() const { return data_.size(); }
    size_t pos() const { return pos_; }
    size_t remaining() const { return ok_ ? data_.size() - pos_ : 0; }

    // Moves to an absolute position; a position past the end clears ok.
    void Seek(size_t pos) {
        if (!ok_ || pos > data_.size()) { Fail(); return; }
        pos_ = pos;
    }
    void Skip(size_t count) {
        if (!Has(count)) { Fail(); return; }
        pos_ += count;
    }

    uint8_t U8() {
        if (!Has(1)) { Fail(); return 0; }
        return data_[pos_++];
    }
    uint16_t U16() {
        if (!Has(2)) { Fail(); return 0; }
        uint16_t v = uint16_t(data_[pos_] | (data_[pos_ + 1] << 8));
        pos_ += 2;
        return v;
    }
    uint32_t U32() {
        if (!Has(4)) { Fail(); return 0; }
        uint32_t v = uint32_t(data_[pos_]) | (uint32_t(data_[pos_ + 1]) << 8) |
                     (uint32_t(data_[pos_ + 2]) << 16) | (uint32_t(data_[pos_ + 3]) << 24);
        pos_ += 4;
        return v;
    }
    uint16_t U16BE() {
        if (!Has(2)) { Fail(); return 0; }
        uint16_t v = uint16_t((data_[pos_] << 8) | data_[pos_ + 1]);
        pos_ += 2;
        return v;
    }
    uint32_t U32BE() {
        if (!Has(4)) { Fail(); return 0; }
        uint32_t v = (uint32_t(data_[pos_]) << 24) | (uint32_t(data_[pos_ + 1]) << 16) |
                     (uint32_t(data_[pos_ + 2]) << 8) | uint32_t(data_[pos_ + 3]);
        pos_ += 4;
        return v;
    }
    // Copies count bytes into out; on failure out is zero-filled.
    void Bytes(uint8_t* out, size_t count) {
        if (!Has(count)) { Fail(); std::memset(out, 0, count); return; }
        std::memcpy(out, data_.data() + pos_, count);
        pos_ += count;
    }
    // A view of the next count bytes (empty on failure).
    std::span<const uint8_t> View(size_t count) {
        if (!Has(count)) { Fail(); return {}; }
        auto v = data_.subspan(pos_, count);
        pos_ += count;
        return v;
    }
    // A fixed-width text field: count bytes, cut at the first zero byte.
    std::string FixedText(size_t count) {
        auto v = View(count);
        size_t n = 0;
        while (n < v.size() && v[n] != 0) ++n;
        return std::string(reinterpret_cast<const char*>(v.data()), n);
    }

private:
    bool Has(size_t count) const { return ok_ && count <= data_.size() - pos_; }
    void Fail() { ok_ = false; }

    std::span<const uint8_t> data_;
    size_t pos_ = 0;
    bool ok_ = true;
};

class ByteWriter {
public:
    explicit ByteWriter(std::span<uint8_t> data) : data_(data) {}
    ByteWriter(uint8_t* data, size_t size) : data_(data, size) {}

    bool ok() const { return ok_; }
    size_t pos() const { return pos_; }
    size_t size() const { return data_.size(); }

    void Seek(size_t pos) {
        if (!ok_ || pos > data_.size()) { ok_ = false; return; }
        pos_ = pos;
    }
    void U8(uint8_t v) {
        if (!Has(1)) { ok_ = false; return; }
        data_[pos_++] = v;
    }
    void U16(uint16_t v) {
        if (!Has(2)) { ok_ = false; return; }
        data_[pos_] = uint8_t(v);
        data_[pos_ + 1] = uint8_t(v >> 8);
        pos_ += 2;
    }
    void U32(uint32_t v) {
        if (!Has(4)) { ok_ = false; return; }
        for (int i = 0; i < 4; ++i) data_[pos_ + i] = uint8_t(v >> (8 * i));
        pos_ += 4;
    }
    void U16BE(uint16_t v) {
        if (!Has(2)) { ok_ = false; return; }
        data_[pos_] = uint8_t(v >> 8);
        data_[pos_ + 1] = uint8_t(v);
        pos_ += 2;
    }
    void U32BE(uint32_t v) {
        if (!Has(4)) { ok_ = false; return; }
        for (int i = 0; i < 4; ++i) data_[pos_ + i] = uint8_t(v >> (24 - 8 * i));
        pos_ += 4;
    }
    void Bytes(const uint8_t* in, size_t count) {
        if (!Has(count)) { ok_ = false; return; }
        if (count) std::memcpy(data_.data() + pos_, in, count);
        pos_ += count;
    }
    void Fill(uint8_t value, size_t count) {
        if (!Has(count)) { ok_ = false; return; }
        std::memset(data_.data() + pos_, value, count);
        pos_ += count;
    }
    // A fixed-width text field, zero-filled; a longer text is cut.
    void FixedText(const std::string& text, size_t count) {
        if (!Has(count)) { ok_ = false; return; }
        size_t n = text.size() < count ? text.size() : count;
        std::memcpy(data_.data() + pos_, text.data(), n);
        std::memset(data_.data() + pos_ + n, 0, count - n);
        pos_ += count;
    }

private:
    bool Has(size_t count) const { return ok_ && count <= data_.size() - pos_; }

    std::span<uint8_t> data_;
    size_t pos_ = 0;
    bool ok_ = true;
};

// Byte sums used by the file headers and the link.
inline uint16_t Sum16(std::span<const uint8_t> data) {
    uint32_t s = 0;
    for (uint8_t b : data) s += b;
    return uint16_t(s);
}
inline uint32_t Sum32(std::span<const uint8_t> data) {
    uint32_t s = 0;
    for (uint8_t b : data) s += b;
    return s;
}

}  // namespace orvalink
