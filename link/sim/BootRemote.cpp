#include "link/sim/BootRemote.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/ByteIo.h"
#include "formats/FileIo.h"

namespace orvalink {

namespace {
constexpr size_t kPage = 512;
constexpr size_t kBlock = 264;
constexpr size_t kLoaderBytes = 1280;
constexpr size_t kPiece = 128;
constexpr size_t kRomSumFrom = 2048;
constexpr size_t kRomImage = 32768;
constexpr uint8_t kXon = 0x11;
constexpr uint8_t kAck = 0x06;
constexpr uint8_t kNak = 0x15;
// The remote looks its flash up before the first block of a TI read.
constexpr uint32_t kTiFirstBlockMicros = 20'000;

std::vector<uint8_t> Le32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

bool EndsWith(const std::string& text, std::string_view word) {
    return text.size() >= word.size() && text.compare(text.size() - word.size(), word.size(), word) == 0;
}
}  // namespace

BootRemote::BootRemote(std::vector<uint8_t>& flash, Emit emit)
    : flash_(flash), emit_(std::move(emit)), firmware_(kFirmwareBytes, 0xFF) {}

bool BootRemote::LoadFirmware(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() > kFirmwareBytes) {
        error = path + " is larger than the firmware (" + std::to_string(kFirmwareBytes) + " bytes)";
        return false;
    }
    std::fill(firmware_.begin(), firmware_.end(), 0xFF);
    std::copy(bytes.begin(), bytes.end(), firmware_.begin());
    return true;
}

bool BootRemote::SaveFirmware(const std::string& path, std::string& error) const {
    std::string why;
    if (ReplaceFileBytes(path, firmware_, &why)) return true;
    error = "cannot write " + path + ": " + why;
    return false;
}

void BootRemote::Send(std::vector<uint8_t> bytes, uint32_t delay) {
    if (emit_) emit_(std::move(bytes), replyMicros_ + delay, baud_);
}

void BootRemote::Reset() {
    state_ = State::Idle;
    collect_.clear();
    recent_.clear();
    entered_ = false;
}

bool BootRemote::Command(std::span<const uint8_t> frame) {
    ByteReader r(frame.data(), frame.size());
    const uint8_t code = r.U8();
    r.U8();
    const uint16_t word = r.U16();
    r.U16();
    const uint16_t count = r.U16();
    switch (code) {
        case 0xAF: {
            std::vector<uint8_t> answer(16, 0x00);
            std::copy_n(faults_.identification.begin(), std::min<size_t>(16, faults_.identification.size()),
                        answer.begin());
            Send(answer);
            return true;
        }
        case 0xA7:
            entered_ = true;
            Send({'B'});
            return true;
        case 0xA8: {
            if (!entered_) {
                Send({'C'});
                return true;
            }
            const size_t from = std::min(firmware_.size(), size_t(word) * kPage);
            const size_t to = std::min(firmware_.size(), (size_t(word) + count) * kPage);
            std::fill(firmware_.begin() + long(from), firmware_.begin() + long(to), 0xFF);
            sectorsErased_ += count;
            Send({'B'}, eraseMicros_);
            return true;
        }
        case 0xA9:
            if (!entered_) {
                Send({'C'});
                return true;
            }
            if (word == faults_.mutePage && muted_ < faults_.muteTimes) {
                ++muted_;
                return true;
            }
            if (word == faults_.refusePage && refused_ < faults_.refuseTimes) {
                ++refused_;
                ++pageRefusals_;
                Send({'C'});
                return true;
            }
            page_ = word;
            collect_.clear();
            state_ = State::BinaryPage;
            Send({'B'});
            return true;
        case 0xAA:
            if (!entered_) {
                Send({'C'});
                return true;
            }
            entered_ = false;
            ++programs_;
            Send({'B'});
            if (onFirmware_) onFirmware_();
            return true;
        default: return false;
    }
}

bool BootRemote::StorePage(int page) {
    ByteReader r(collect_);
    const auto data = r.View(kPage);
    const uint16_t sum = r.U16();
    if (Sum16(data) != sum || (size_t(page) + 1) * kPage > firmware_.size()) return false;
    std::copy(data.begin(), data.end(), firmware_.begin() + long(size_t(page) * kPage));
    ++pagesWritten_;
    return true;
}

void BootRemote::TextWord(const std::string& word) {
    words_.push_back(word);
    recent_.clear();
    if (word == "RESTART") {
        SendText("FINISH");
    } else if (word == "ERASE") {
        if (eraseFailures_ < faults_.failEraseTimes) {
            ++eraseFailures_;
            SendText("FAIL");
            return;
        }
        std::fill(firmware_.begin(), firmware_.end(), 0xFF);
        page_ = 0;
        SendText("FINISH");
    } else if (word == "WRITE") {
        if (errors_ < faults_.errorTimes) {
            ++errors_;
            SendText("ERROR");
            return;
        }
        collect_.clear();
        state_ = State::TextPage;
        SendText("CONTINUE");
    } else if (word == "COMPLETE") {
        if (completeFailures_ < faults_.failCompleteTimes) {
            ++completeFailures_;
            SendText("FAIL");
            return;
        }
        state_ = State::Idle;
        ++programs_;
        SendText("FINISH");
        if (onFirmware_) onFirmware_();
    }
}

void BootRemote::TiSendBlock() {
    const size_t at = size_t(tiFirst_ + tiIndex_) * kBlock;
    std::vector<uint8_t> out(flash_.begin() + long(at), flash_.begin() + long(at + kBlock));
    uint32_t sum = Sum32(out);
    if (tiFirst_ + tiIndex_ == faults_.badSumBlock) ++sum;
    tiSent_ = sum;
    for (uint8_t b : Le32(sum)) out.push_back(b);
    ++tiBlocksSent_;
    Send(std::move(out), tiIndex_ == 0 ? kTiFirstBlockMicros : 0);
}

bool BootRemote::Byte(uint8_t b, int baud) {
    baud_ = baud;
    switch (state_) {
        case State::Idle: {
            // Asleep: a wake word, the ROM's synchronisation or a text word.
            if (b == 0x00) {
                state_ = State::RomSync;
                Send({0x00});
                return true;
            }
            if (b == 0x08) return false;
            // Only the start of a word it knows is kept.
            recent_.push_back(char(b));
            auto known = [this] {
                for (std::string_view w : {"RESTART", "TS", "GD"})
                    if (w.substr(0, recent_.size()) == recent_) return true;
                return false;
            };
            while (!recent_.empty() && !known()) recent_.erase(0, 1);
            if (recent_ == "RESTART") {
                state_ = State::Text;
                TextWord("RESTART");
            } else if (recent_ == "TS" || recent_ == "GD") {
                tiWrite_ = recent_ == "TS";
                tiFirst_ = tiCount_ = -1;
                collect_.clear();
                recent_.clear();
                state_ = State::TiRange;
            }
            return true;
        }

        case State::BinaryPage:
            collect_.push_back(b);
            if (collect_.size() == kPage + 2) {
                state_ = State::Idle;
                Send({uint8_t(StorePage(page_) ? 'B' : 'C')});
                collect_.clear();
            }
            return true;

        case State::Text:
            recent_.push_back(char(b));
            if (recent_.size() > 8) recent_.erase(0, recent_.size() - 8);
            for (std::string_view w : {"RESTART", "ERASE", "WRITE", "COMPLETE"}) {
                if (EndsWith(recent_, w)) {
                    TextWord(std::string(w));
                    break;
                }
            }
            return true;

        case State::TextPage:
            collect_.push_back(b);
            if (collect_.size() == kPage + 2) {
                state_ = State::Text;
                const bool ok = StorePage(page_);
                const uint16_t sum = Sum16(std::span<const uint8_t>(collect_).first(kPage));
                if (ok) ++page_;
                if (faults_.vcAcknowledge)
                    Send({uint8_t(ok ? sum : sum + 1), uint8_t((ok ? sum : sum + 1) >> 8)});
                else
                    SendText(ok ? "FINISH" : "FAIL");
                collect_.clear();
            }
            return true;

        case State::RomSync:
            if (b == 0x00) {
                Send({0x00});
            } else if (b == 0x55) {
                state_ = State::RomChip;
                Send({0xAA});
            }
            return true;

        case State::RomChip:
            if (b == 0x05) {
                Send({uint8_t(faults_.chipId >> 8)});
            } else if (b == 0x00) {
                Send({uint8_t(faults_.chipId)});
                loaderIndex_ = 0;
                state_ = State::RomLoader;
            }
            return true;

        case State::RomLoader: {
            const size_t i = loaderIndex_++;
            const uint8_t echo = int(i) == faults_.wrongEchoAt ? uint8_t(b ^ 0x5A) : b;
            if (i + 1 < kLoaderBytes) {
                Send({echo});
            } else {
                Send({echo, 0xAA});
                collect_.clear();
                state_ = State::RomWrite;
            }
            return true;
        }

        case State::RomWrite:
            collect_.push_back(b);
            if (collect_.size() == 2) {
                if (collect_[0] == 'W' && collect_[1] == 0x00) {
                    state_ = State::RomRange;
                    Send({kAck});
                } else {
                    Send({kNak});
                }
                collect_.clear();
            }
            return true;

        case State::RomRange:
            collect_.push_back(b);
            if (collect_.size() == 8) {
                ByteReader r(collect_);
                romAddress_ = r.U32BE();
                romLength_ = r.U32BE();
                romDone_ = 0;
                romSum_ = 0;
                collect_.clear();
                state_ = State::RomXonReply;
                Send({kXon});
            }
            return true;

        case State::RomXonReply:
            if (romDone_ < romLength_) {
                pieceLeft_ = std::min<size_t>(kPiece, romLength_ - romDone_);
                state_ = State::RomData;
            } else {
                // The one's complement of the sum's low byte.
                const bool ok = b == uint8_t(~romSum_);
                state_ = State::RomDone;
                Send({ok ? kAck : kNak});
                if (ok) {
                    ++programs_;
                    if (onFirmware_) onFirmware_();
                }
            }
            return true;

        case State::RomData: {
            const size_t at = size_t(romAddress_) + romDone_;
            if (at < firmware_.size()) firmware_[at] = b;
            romSum_ += b;
            ++romDone_;
            if (--pieceLeft_ == 0) {
                state_ = State::RomXonReply;
                Send({kXon});
            }
            return true;
        }

        case State::RomDone:
            if (b == 'C') {
                const auto image = std::span<const uint8_t>(firmware_).subspan(kRomSumFrom, kRomImage - kRomSumFrom);
                const uint32_t sum = Sum32(image);
                Send({uint8_t(sum >> 24), uint8_t(sum >> 16), uint8_t(sum >> 8), uint8_t(sum)});
                state_ = State::Idle;
            }
            return true;

        case State::TiRange:
            collect_.push_back(b);
            if (collect_.size() == 4) {
                const uint16_t n = uint16_t(collect_[2] << 8 | collect_[3]);
                const bool sp = collect_[0] == 'S' && collect_[1] == 'P';
                const bool pz = collect_[0] == 'P' && collect_[1] == 'Z';
                collect_.clear();
                const int blocks = int(flash_.size() / kBlock);
                if (sp) {
                    tiFirst_ = n < blocks ? n : -1;
                    Send({uint8_t(tiFirst_ < 0 ? 0xFF : n >> 8), uint8_t(tiFirst_ < 0 ? 0xFF : n)});
                } else if (pz && tiFirst_ >= 0 && n > 0 && tiFirst_ + n <= blocks) {
                    tiCount_ = n;
                    tiIndex_ = 0;
                    Send({uint8_t(n >> 8), uint8_t(n)});
                    if (tiWrite_) {
                        state_ = State::TiWriteBlock;
                    } else {
                        state_ = State::TiReadAck;
                        TiSendBlock();
                    }
                } else {
                    Send({0x00, 0x00});
                    state_ = State::Idle;
                }
            }
            return true;

        case State::TiWriteBlock:
            collect_.push_back(b);
            if (collect_.size() == kBlock + 4) {
                ByteReader r(collect_);
                const auto data = r.View(kBlock);
                const uint32_t told = r.U32();
                const int block = tiFirst_ + tiIndex_;
                uint32_t sum = Sum32(data);
                if (block == faults_.badSumBlock) ++sum;
                if (sum == told) {
                    std::copy(data.begin(), data.end(), flash_.begin() + long(size_t(block) * kBlock));
                    if (onStored_) onStored_(block, std::span<uint8_t>(flash_).subspan(size_t(block) * kBlock, kBlock));
                    ++tiBlocksWritten_;
                    ++tiIndex_;
                }
                collect_.clear();
                Send(Le32(sum));
                if (tiIndex_ >= tiCount_) {
                    state_ = State::Idle;
                    if (onFlash_) onFlash_();
                }
            }
            return true;

        case State::TiReadAck:
            collect_.push_back(b);
            if (collect_.size() == 4) {
                ByteReader r(collect_);
                const uint32_t echo = r.U32();
                collect_.clear();
                if (echo != tiSent_) {
                    state_ = State::Idle;
                } else if (++tiIndex_ >= tiCount_) {
                    state_ = State::Idle;
                } else {
                    TiSendBlock();
                }
            }
            return true;
    }
    return false;
}

}  // namespace orvalink
