// LIRC configuration files ("lircd.conf"): remotes described by their
// timings, each button a code number, or each button a list of raw
// durations.
//
//   begin remote
//     name    tv
//     flags   SPACE_ENC|CONST_LENGTH
//     bits    16
//     header  9000 4500        (mark and space, microseconds)
//     one     560 1690
//     zero    560 560
//     ptrail  560
//     pre_data_bits 16
//     pre_data 0x20DF
//     repeat  9000 2250
//     gap     108000
//     begin codes
//       KEY_POWER 0x10EF
//     end codes
//   end remote
//
// Bits go out most significant first, pre_data before the code and
// post_data after it. A pulse-distance bit is a mark and a space (`one` or
// `zero`); a bi-phase bit (RC5, RC6, SHIFT_ENC) is a 1 as space then mark
// and a 0 as mark then space, the bits of `rc6_mask` twice as long. Where an
// RC6 remote names no rc6_mask, the bit at `toggle_bit` (counted from 1 at
// the first bit sent) is the long one, else the fifth bit sent (RC-6's
// trailer bit after its start and three mode bits). A space
// at the very start is not seen by a receiver and is left out; marks or
// spaces that meet are one. With CONST_LENGTH the gap is the length of the
// whole frame, otherwise the space after it. The repeat frame is `repeat`
// (with the header under REPEAT_HEADER) and the trail; without `repeat`,
// NO_HEAD_REP and NO_FOOT_REP make the frame without header or foot the
// repeat frame; otherwise a code has no repeat frame. Raw codes are the
// durations given, mark first; after an odd count the gap follows.
//
// A button's first code is the one sent; further codes on its line are
// what other remotes of the kind send and are checked but not kept.
#include <algorithm>
#include <cmath>
#include <map>

#include "formats/IrSignalFiles.h"
#include "formats/IrTextLines.h"

namespace orvalink {

using namespace irtext;

namespace {

constexpr unsigned kDefaultFrequency = 38000;
constexpr uint64_t kMinFrequency = 10000, kMaxFrequency = 500000;

enum class Encoding { None, Space, Raw, Biphase };

struct Pair {
    uint32_t mark = 0, space = 0;
    bool Given() const { return mark || space; }
};

struct Code {
    std::string name;
    uint64_t value = 0;
    size_t line = 0;
};

struct RawCode {
    std::string name;
    size_t line = 0;
    std::vector<uint32_t> us;
};

struct Remote {
    std::string name;
    size_t line = 0;  // of "begin remote"
    Encoding encoding = Encoding::None;
    size_t flagsLine = 0;
    bool rc6 = false, constLength = false, reverse = false, spaceFirst = false;
    bool noHeadRep = false, noFootRep = false, repeatHeader = false;
    uint64_t bits = 0, preBits = 0, postBits = 0, preData = 0, postData = 0;
    size_t bitsLine = 0;
    Pair header, one, zero, pre, post, foot, repeat;
    uint32_t plead = 0, ptrail = 0;
    uint64_t gap = 0, repeatGap = 0;
    unsigned frequency = kDefaultFrequency;
    std::optional<uint64_t> rc6Mask;
    uint64_t toggleBit = 0;
    std::vector<Code> codes;
    std::vector<RawCode> raws;
    size_t codesLine = 0;
};

// Marks and spaces as they are sent: a space at the very start is dropped,
// neighbours of one kind are joined.
class Frame {
public:
    void Mark(uint64_t us) {
        if (!us) return;
        total_ += us;
        if (d_.size() % 2 == 1) {
            d_.back() += us;
        } else {
            d_.push_back(us);
        }
    }
    void Space(uint64_t us) {
        if (!us || d_.empty()) return;
        total_ += us;
        if (d_.size() % 2 == 0) {
            d_.back() += us;
        } else {
            d_.push_back(us);
        }
    }
    uint64_t Total() const { return total_; }
    // Joined marks or spaces longer than a reader gives are cut to it.
    std::vector<IrPulse> Pulses() const {
        std::vector<IrPulse> out;
        for (size_t i = 0; i < d_.size(); i += 2) {
            const auto clamp = [](uint64_t v) { return uint32_t(std::min<uint64_t>(v, kIrMaxDurationUs)); };
            out.push_back({clamp(d_[i]), i + 1 < d_.size() ? clamp(d_[i + 1]) : 0});
        }
        return out;
    }

private:
    std::vector<uint64_t> d_;
    uint64_t total_ = 0;
};

uint64_t AllBits(const Remote& r) { return r.preBits + r.bits + r.postBits; }

uint64_t Rc6Mask(const Remote& r) {
    if (!r.rc6) return 0;
    if (r.rc6Mask) return *r.rc6Mask;
    const uint64_t all = AllBits(r);
    const uint64_t at = r.toggleBit ? r.toggleBit : 5;
    return at >= 1 && at <= all ? uint64_t(1) << (all - at) : 0;
}

// `count` bits of `value`, most significant first (least under REVERSE);
// `sent` counts the bits of the frame sent so far.
void SendBits(const Remote& r, Frame& f, uint64_t value, uint64_t count, uint64_t& sent) {
    const uint64_t all = AllBits(r), rc6 = Rc6Mask(r);
    for (uint64_t i = 0; i < count; ++i, ++sent) {
        const uint64_t shift = r.reverse ? i : count - 1 - i;
        const bool one = (value >> shift) & 1;
        const uint64_t k = (rc6 >> (all - 1 - sent)) & 1 ? 2 : 1;
        const Pair& p = one ? r.one : r.zero;
        if (r.encoding == Encoding::Biphase) {
            if (one) {
                f.Space(k * p.space);
                f.Mark(k * p.mark);
            } else {
                f.Mark(k * p.mark);
                f.Space(k * p.space);
            }
        } else if (r.spaceFirst) {
            f.Space(p.space);
            f.Mark(p.mark);
        } else {
            f.Mark(p.mark);
            f.Space(p.space);
        }
    }
}

void SendGap(Frame& f, uint64_t gap, bool constLength) {
    if (constLength && gap > f.Total()) gap -= f.Total();
    f.Space(gap);
}

std::vector<IrPulse> CodeFrame(const Remote& r, uint64_t code, bool withHeader, bool withFoot) {
    Frame f;
    if (withHeader) {
        f.Mark(r.header.mark);
        f.Space(r.header.space);
    }
    f.Mark(r.plead);
    uint64_t sent = 0;
    SendBits(r, f, r.preData, r.preBits, sent);
    f.Mark(r.pre.mark);
    f.Space(r.pre.space);
    SendBits(r, f, code, r.bits, sent);
    f.Mark(r.post.mark);
    f.Space(r.post.space);
    SendBits(r, f, r.postData, r.postBits, sent);
    f.Mark(r.ptrail);
    if (withFoot) {
        f.Space(r.foot.space);
        f.Mark(r.foot.mark);
    }
    SendGap(f, r.gap, r.constLength);
    return f.Pulses();
}

std::vector<IrPulse> RepeatFrame(const Remote& r, uint64_t code) {
    if (r.repeat.Given()) {
        Frame f;
        if (r.repeatHeader) {
            f.Mark(r.header.mark);
            f.Space(r.header.space);
        }
        f.Mark(r.plead);
        f.Mark(r.repeat.mark);
        f.Space(r.repeat.space);
        f.Mark(r.ptrail);
        SendGap(f, r.repeatGap ? r.repeatGap : r.gap, r.constLength);
        return f.Pulses();
    }
    if ((r.noHeadRep && r.header.Given()) || (r.noFootRep && r.foot.Given()))
        return CodeFrame(r, code, !r.noHeadRep, !r.noFootRep);
    return {};
}

std::string Quoted(std::string_view s) { return "\"" + std::string(s.substr(0, 40)) + "\""; }

class Reader {
public:
    Reader(std::string_view fileName) : file_(fileName) {}

    bool Read(std::string_view text, std::vector<IrSignal>& signals, std::string& error) {
        if (!TextFits(text, file_, error)) return false;
        LineReader lines(text, file_);
        std::string_view line;
        while (lines.Next(line, error)) {
            line_ = lines.Number();
            if (const size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
            const std::vector<std::string_view> words = Words(line);
            if (words.empty()) continue;
            if (!Line(words, error)) return false;
        }
        if (lines.Failed()) return false;
        if (inRemote_) {
            error = At(file_, remote_.line, "remote " + Quoted(remote_.name) + " has no \"end remote\"");
            return false;
        }
        if (remotes_ == 0) {
            error = At(file_, std::max<size_t>(line_, 1), "no \"begin remote\" in the file");
            return false;
        }
        if (out_.empty()) {
            error = At(file_, std::max<size_t>(line_, 1), "no codes in the file");
            return false;
        }
        if (remotes_ > 1) {
            for (size_t i = 0; i < out_.size(); ++i) out_[i].name = remoteOf_[i] + "/" + out_[i].name;
        }
        signals = std::move(out_);
        return true;
    }

private:
    enum class Section { Remote, Codes, Raw };

    bool Fail(std::string& error, std::string_view why) {
        error = At(file_, line_, why);
        return false;
    }

    bool Line(const std::vector<std::string_view>& w, std::string& error) {
        const bool begin = EqualsNoCase(w[0], "begin"), end = EqualsNoCase(w[0], "end");
        const std::string_view what = w.size() > 1 ? w[1] : std::string_view();
        if (!inRemote_) {
            if (begin && EqualsNoCase(what, "remote")) {
                remote_ = Remote{};
                remote_.line = line_;
                inRemote_ = true;
                section_ = Section::Remote;
                ++remotes_;
                return true;
            }
            return Fail(error, Quoted(w[0]) + " outside a remote (\"begin remote\" expected)");
        }
        if (begin) {
            if (section_ != Section::Remote)
                return Fail(error, "\"begin " + std::string(what.substr(0, 20)) + "\" inside a list of codes");
            if (EqualsNoCase(what, "codes")) {
                section_ = Section::Codes;
            } else if (EqualsNoCase(what, "raw_codes")) {
                section_ = Section::Raw;
            } else if (EqualsNoCase(what, "remote")) {
                return Fail(error, "\"begin remote\" inside remote " + Quoted(remote_.name) + " of line " +
                                       std::to_string(remote_.line));
            } else {
                return Fail(error, "unknown section " + Quoted(what));
            }
            remote_.codesLine = line_;
            return true;
        }
        if (end) {
            const bool ok = (section_ == Section::Remote && EqualsNoCase(what, "remote")) ||
                            (section_ == Section::Codes && EqualsNoCase(what, "codes")) ||
                            (section_ == Section::Raw && EqualsNoCase(what, "raw_codes"));
            if (!ok) {
                const char* expected = section_ == Section::Remote ? "\"end remote\""
                                       : section_ == Section::Codes ? "\"end codes\""
                                                                    : "\"end raw_codes\"";
                return Fail(error, "\"end " + std::string(what.substr(0, 20)) + "\" where " + expected + " belongs");
            }
            if (section_ != Section::Remote) {
                section_ = Section::Remote;
                return true;
            }
            inRemote_ = false;
            return FinishRemote(error);
        }
        switch (section_) {
        case Section::Remote: return Keyword(w, error);
        case Section::Codes: return CodeLine(w, error);
        case Section::Raw: return RawLine(w, error);
        }
        return false;
    }

    bool Duration(std::string_view word, uint32_t& us, std::string& error) {
        uint64_t v = 0;
        if (!ParseDecimal(word, UINT64_MAX, v))
            return Fail(error, Quoted(word) + " is not a duration in microseconds");
        if (v > kIrMaxDurationUs)
            return Fail(error, "a duration of " + std::string(word.substr(0, 20)) + " us (at most " +
                                   std::to_string(kIrMaxDurationUs) + ")");
        us = uint32_t(v);
        return true;
    }

    bool Values(const std::vector<std::string_view>& w, size_t count, std::string& error) {
        if (w.size() >= count + 1) return true;
        return Fail(error, Quoted(w[0]) + (count == 1 ? " needs a value" : " needs a mark and a space"));
    }

    bool PairOf(const std::vector<std::string_view>& w, Pair& p, std::string& error) {
        return Values(w, 2, error) && Duration(w[1], p.mark, error) && Duration(w[2], p.space, error);
    }

    bool BitCount(const std::vector<std::string_view>& w, uint64_t& n, std::string& error) {
        if (!Values(w, 1, error)) return false;
        if (!ParseDecimal(w[1], UINT64_MAX, n) || n > 64)
            return Fail(error, Quoted(w[0]) + " is a number of bits from 0 to 64, not " + Quoted(w[1]));
        return true;
    }

    bool Number(const std::vector<std::string_view>& w, uint64_t& v, std::string& error) {
        if (!Values(w, 1, error)) return false;
        if (!ParseCNumber(w[1], v)) return Fail(error, Quoted(w[1]) + " is not a number");
        return true;
    }

    bool Flags(const std::vector<std::string_view>& w, std::string& error) {
        std::string joined;
        for (size_t i = 1; i < w.size(); ++i) joined += w[i];
        Remote& r = remote_;
        r.flagsLine = line_;
        std::string_view rest = joined;
        while (!rest.empty()) {
            const size_t bar = rest.find('|');
            const std::string_view flag = rest.substr(0, bar);
            rest = bar == std::string_view::npos ? std::string_view() : rest.substr(bar + 1);
            if (flag.empty()) continue;
            Encoding enc = Encoding::None;
            bool rc6 = false;
            if (EqualsNoCase(flag, "SPACE_ENC")) {
                enc = Encoding::Space;
            } else if (EqualsNoCase(flag, "RAW_CODES")) {
                enc = Encoding::Raw;
            } else if (EqualsNoCase(flag, "RC5") || EqualsNoCase(flag, "SHIFT_ENC")) {
                enc = Encoding::Biphase;
            } else if (EqualsNoCase(flag, "RC6")) {
                enc = Encoding::Biphase;
                rc6 = true;
            } else if (EqualsNoCase(flag, "CONST_LENGTH")) {
                r.constLength = true;
            } else if (EqualsNoCase(flag, "REVERSE")) {
                r.reverse = true;
            } else if (EqualsNoCase(flag, "SPACE_FIRST")) {
                r.spaceFirst = true;
            } else if (EqualsNoCase(flag, "NO_HEAD_REP")) {
                r.noHeadRep = true;
            } else if (EqualsNoCase(flag, "NO_FOOT_REP")) {
                r.noFootRep = true;
            } else if (EqualsNoCase(flag, "REPEAT_HEADER")) {
                r.repeatHeader = true;
            } else if (EqualsNoCase(flag, "RCMM") || EqualsNoCase(flag, "GOLDSTAR") ||
                       EqualsNoCase(flag, "GRUNDIG") || EqualsNoCase(flag, "BO") || EqualsNoCase(flag, "SERIAL") ||
                       EqualsNoCase(flag, "XMP")) {
                return Fail(error, "the encoding " + Quoted(flag) + " cannot be read");
            } else {
                return Fail(error, "unknown flag " + Quoted(flag));
            }
            if (enc != Encoding::None) {
                if (r.encoding != Encoding::None && (r.encoding != enc || r.rc6 != rc6))
                    return Fail(error, "more than one encoding in \"flags\"");
                r.encoding = enc;
                r.rc6 = rc6;
            }
        }
        return true;
    }

    bool Keyword(const std::vector<std::string_view>& w, std::string& error) {
        Remote& r = remote_;
        const std::string_view k = w[0];
        auto is = [&](const char* name) { return EqualsNoCase(k, name); };
        uint64_t v = 0;
        if (is("name")) {
            if (!Values(w, 1, error)) return false;
            r.name = std::string(w[1]);
        } else if (is("flags")) {
            return Values(w, 1, error) && Flags(w, error);
        } else if (is("bits")) {
            r.bitsLine = line_;
            return BitCount(w, r.bits, error);
        } else if (is("pre_data_bits")) {
            return BitCount(w, r.preBits, error);
        } else if (is("post_data_bits")) {
            return BitCount(w, r.postBits, error);
        } else if (is("pre_data")) {
            return Number(w, r.preData, error);
        } else if (is("post_data")) {
            return Number(w, r.postData, error);
        } else if (is("header")) {
            return PairOf(w, r.header, error);
        } else if (is("one")) {
            return PairOf(w, r.one, error);
        } else if (is("zero")) {
            return PairOf(w, r.zero, error);
        } else if (is("pre")) {
            return PairOf(w, r.pre, error);
        } else if (is("post")) {
            return PairOf(w, r.post, error);
        } else if (is("foot")) {
            return PairOf(w, r.foot, error);
        } else if (is("repeat")) {
            return PairOf(w, r.repeat, error);
        } else if (is("plead")) {
            return Values(w, 1, error) && Duration(w[1], r.plead, error);
        } else if (is("ptrail")) {
            return Values(w, 1, error) && Duration(w[1], r.ptrail, error);
        } else if (is("gap") || is("repeat_gap")) {
            // "gap 108000" or "gap 40000 108000": the first is the one sent.
            uint32_t us = 0;
            if (!Values(w, 1, error) || !Duration(w[1], us, error)) return false;
            (is("gap") ? r.gap : r.repeatGap) = us;
        } else if (is("frequency")) {
            if (!Values(w, 1, error)) return false;
            if (!ParseDecimal(w[1], kMaxFrequency, v) || v < kMinFrequency)
                return Fail(error, "a frequency from " + std::to_string(kMinFrequency) + " to " +
                                       std::to_string(kMaxFrequency) + " Hz, not " + Quoted(w[1]));
            r.frequency = unsigned(v);
        } else if (is("rc6_mask")) {
            if (!Number(w, v, error)) return false;
            r.rc6Mask = v;
        } else if (is("toggle_bit")) {
            if (!Values(w, 1, error)) return false;
            if (!ParseDecimal(w[1], 64, r.toggleBit)) return Fail(error, Quoted(w[1]) + " is not a bit from 0 to 64");
        } else if (is("toggle_bit_mask")) {
            return Number(w, v, error);  // the toggle state sent first is the code as written
        }
        // Anything else (eps, aeps, duty_cycle, min_repeat, ...) says how to
        // receive or how often to send, not what: ignored.
        return true;
    }

    bool EnoughRoom(std::string& error) {
        if (out_.size() + remote_.codes.size() + remote_.raws.size() < kIrFileMaxSignals) return true;
        return Fail(error, "more than " + std::to_string(kIrFileMaxSignals) + " signals");
    }

    bool CodeLine(const std::vector<std::string_view>& w, std::string& error) {
        if (w.size() < 2) return Fail(error, "the code of " + Quoted(w[0]) + " is missing");
        if (!EnoughRoom(error)) return false;
        Code c;
        c.name = std::string(w[0]);
        c.line = line_;
        for (size_t i = 1; i < w.size(); ++i) {
            uint64_t v = 0;
            if (!ParseCNumber(w[i], v)) return Fail(error, Quoted(w[i]) + " is not a code number");
            if (i == 1) c.value = v;
        }
        remote_.codes.push_back(std::move(c));
        return true;
    }

    bool RawLine(const std::vector<std::string_view>& w, std::string& error) {
        size_t from = 0;
        if (EqualsNoCase(w[0], "name")) {
            if (w.size() < 2) return Fail(error, "\"name\" needs the button's name");
            if (!EnoughRoom(error)) return false;
            remote_.raws.push_back({std::string(w[1]), line_, {}});
            from = 2;
        } else if (remote_.raws.empty()) {
            return Fail(error, "durations before the first \"name\"");
        }
        RawCode& raw = remote_.raws.back();
        for (size_t i = from; i < w.size(); ++i) {
            uint32_t us = 0;
            if (!Duration(w[i], us, error)) return false;
            if (us == 0) return Fail(error, "a duration of 0 us");
            if (raw.us.size() >= kIrSignalMaxDurations)
                return Fail(error, Quoted(raw.name) + " has more than " + std::to_string(kIrSignalMaxDurations) +
                                       " marks and spaces");
            raw.us.push_back(us);
        }
        return true;
    }

    bool FinishRemote(std::string& error) {
        Remote& r = remote_;
        auto failAt = [&](size_t line, const std::string& why) {
            error = At(file_, line, why);
            return false;
        };
        const std::string shown = "remote " + Quoted(r.name);
        if (!r.codes.empty()) {
            if (r.encoding == Encoding::Raw)
                return failAt(r.codesLine, shown + " has RAW_CODES and a list of codes");
            if (AllBits(r) > 64)
                return failAt(r.bitsLine ? r.bitsLine : r.line,
                              shown + ": pre_data_bits, bits and post_data_bits add up to more than 64");
            if (r.bits == 0) return failAt(r.codesLine, shown + " has codes but no \"bits\"");
            if (!r.one.Given() || !r.zero.Given())
                return failAt(r.codesLine, shown + " has codes but no \"one\" and \"zero\"");
            auto fits = [](uint64_t v, uint64_t bits) { return bits >= 64 || (v >> bits) == 0; };
            if (!fits(r.preData, r.preBits))
                return failAt(r.line, shown + ": pre_data " + Hex(r.preData) + " has more than " +
                                          std::to_string(r.preBits) + " bits");
            if (!fits(r.postData, r.postBits))
                return failAt(r.line, shown + ": post_data " + Hex(r.postData) + " has more than " +
                                          std::to_string(r.postBits) + " bits");
            if (r.encoding == Encoding::None) r.encoding = Encoding::Space;
            for (const Code& c : r.codes) {
                if (!fits(c.value, r.bits))
                    return failAt(c.line, "the code " + Hex(c.value) + " of " + Quoted(c.name) + " has more than " +
                                              std::to_string(r.bits) + " bits");
                IrSignal s;
                s.name = c.name;
                s.line = c.line;
                s.code.carrierHz = r.frequency;
                s.code.once = CodeFrame(r, c.value, true, true);
                if (s.code.once.empty())
                    return failAt(c.line, "the code of " + Quoted(c.name) + " sends no mark");
                s.code.repeat = RepeatFrame(r, c.value);
                s.decoded = DecodeIr(s.code.once);
                Add(std::move(s));
            }
        }
        for (const RawCode& raw : r.raws) {
            if (raw.us.empty()) return failAt(raw.line, Quoted(raw.name) + " has no durations");
            Frame f;
            for (size_t i = 0; i < raw.us.size(); ++i) {
                if (i % 2 == 0) {
                    f.Mark(raw.us[i]);
                } else {
                    f.Space(raw.us[i]);
                }
            }
            if (raw.us.size() % 2 == 1) SendGap(f, r.gap, r.constLength);
            IrSignal s;
            s.name = raw.name;
            s.line = raw.line;
            s.code.carrierHz = r.frequency;
            s.code.once = f.Pulses();
            s.decoded = DecodeIr(s.code.once);
            Add(std::move(s));
        }
        return true;
    }

    void Add(IrSignal s) {
        out_.push_back(std::move(s));
        remoteOf_.push_back(remote_.name.empty() ? "remote " + std::to_string(remotes_) : remote_.name);
    }

    std::string_view file_;
    size_t line_ = 0;
    bool inRemote_ = false;
    Section section_ = Section::Remote;
    Remote remote_;
    size_t remotes_ = 0;
    std::vector<IrSignal> out_;
    std::vector<std::string> remoteOf_;
};

}  // namespace

bool ParseLircConf(std::string_view text, std::string_view fileName, std::vector<IrSignal>& signals,
                   std::string& error) {
    Reader reader(fileName);
    return reader.Read(text, signals, error);
}

}  // namespace orvalink
