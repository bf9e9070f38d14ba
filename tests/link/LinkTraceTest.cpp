// The trace of the link conversation: a download and an upload against the
// virtual remote on the virtual clock, with the remote's faults, recorded
// and read back; the printed lines must show each fault and retry at its
// block. And the reading of files that are no trace.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/ByteIo.h"
#include "formats/FileIo.h"
#include "link/LinkTrace.h"
#include "link/LinkTraceReport.h"
#include "link/Upgrade.h"
#include "support/LinkFixture.h"

namespace orvalink::testing {
namespace {

// The link fixture's world with a recorder between the engine and the port.
class TracedLink : public ::testing::Test {
protected:
    TracedLink()
        : port(pump, 3), cable(remote, port), recorder(pump), link(port, pump, registry, ui, clock, view, recorder),
          transfers(link, flash), progress(link) {
        AddNtAdapter(registry, "5&2f1c3a&0&1", "COM3");
        auto f = remote.Flash();
        for (size_t i = 0; i < f.size(); ++i) f[i] = uint8_t(i * 31 + 7 + i / 264);
        recorder.AddSink(memory);
    }

    VirtualEventPump pump;
    LoopbackSerialPort port;
    VirtualRemote remote;
    RemoteOnCable cable;
    MemoryRegistry registry;
    ScriptedUiServices ui;
    FixedClock clock;
    RecordingView view;
    LinkTraceRecorder recorder;
    TraceMemory memory{size_t(64) << 20};
    LinkEngine link;
    TTiFlashFm flash;
    Transfers transfers;
    ScriptedProgress progress;
};

size_t FindLine(const std::vector<std::string>& lines, const std::string& part, size_t from = 0) {
    for (size_t i = from; i < lines.size(); ++i)
        if (lines[i].find(part) != std::string::npos) return i;
    return lines.size();
}

struct FaultCase {
    const char* name;
    bool upload;
    std::function<void(RemoteFaults&)> fault;
    bool transferOk;
    // The line of the fault, and the lines that must follow it at once.
    std::string faultLine;
    std::vector<std::string> then;
    int retries, refusals, checksumFaults, timeouts;
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class LinkTraceFaults : public TracedLink, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(LinkTraceFaults, ThePrintedTraceShowsTheFaultAtItsBlock) {
    const FaultCase& c = GetParam();
    c.fault(remote.Faults());
    const TransferOutcome outcome =
        c.upload ? transfers.UploadToRemote(progress, kKindWhole) : transfers.DownloadFromRemote(progress);
    EXPECT_EQ(outcome.Ok(), c.transferOk);
    link.CloseLinkPort();

    const TraceReading reading = ReadLinkTrace(memory.Text());
    ASSERT_TRUE(reading.ok) << reading.error;
    const auto& lines = reading.lines;
    // Every exchange starts at 300 bit/s with the wake-up, answered 'B'.
    ASSERT_GE(lines.size(), 4u);
    EXPECT_NE(lines[0].find("port  opened at 300 bit/s"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("PC>   wake-up 'A'"), std::string::npos) << lines[1];
    const size_t reply = FindLine(lines, "<REM  ack 'B' accepted");
    ASSERT_LT(reply, lines.size());
    EXPECT_GT(reply, FindLine(lines, "opened at 115200 bit/s"));

    const size_t at = FindLine(lines, c.faultLine);
    ASSERT_LT(at, lines.size()) << "no line with \"" << c.faultLine << "\"";
    for (size_t i = 0; i < c.then.size(); ++i) {
        ASSERT_LT(at + 1 + i, lines.size());
        EXPECT_NE(lines[at + 1 + i].find(c.then[i]), std::string::npos)
            << "after \"" << lines[at] << "\" line " << i + 1 << " is \"" << lines[at + 1 + i] << "\"";
    }
    EXPECT_EQ(reading.summary.retries, c.retries);
    EXPECT_EQ(reading.summary.refusals, c.refusals);
    EXPECT_EQ(reading.summary.checksumFaults, c.checksumFaults);
    EXPECT_EQ(reading.summary.timeouts, c.timeouts);
    // The remote's wake-up answer takes longest on the virtual remote.
    EXPECT_EQ(reading.summary.slowestFrame, "ack 'B' accepted");
    EXPECT_GE(reading.summary.slowestMicros, remote.Timing().wakeMicros);
}

INSTANTIATE_TEST_SUITE_P(
    Transfers, LinkTraceFaults,
    ::testing::Values(
        FaultCase{"DownloadBadChecksum", false, [](RemoteFaults& f) { f.corruptBlock = 7; }, false,
                  "<REM  block 7, sum", {"PC>   ack 'C' refused  (1 byte)  ** REFUSED **", "port  closed"},
                  0, 1, 1, 0},
        FaultCase{"DownloadSilent", false, [](RemoteFaults& f) { f.silentAfter = 3; }, false,
                  "<REM  no block 3 within 3000 ms", {"PC>   ack 'C' refused"}, 0, 1, 0, 1},
        FaultCase{"UploadRefusedOnce", true, [](RemoteFaults& f) {
                      f.refuseBlock = 5;
                      f.refuseTimes = 1;
                  },
                  true, "PC>   block 5, sum",
                  {"<REM  ack 'C' refused", "PC>   block 5, sum", "<REM  ack 'B' accepted", "PC>   block 6, sum"},
                  1, 1, 0, 0},
        FaultCase{"UploadRefusedThrice", true, [](RemoteFaults& f) { f.refuseBlock = 5; }, false,
                  "PC>   block 5, sum",
                  // The remote still takes block bytes: the clock frame is
                  // not answered.
                  {"<REM  ack 'C' refused", "attempt 2  (266 bytes)  ** RETRY **", "<REM  ack 'C' refused",
                   "attempt 3  (266 bytes)  ** RETRY **", "<REM  ack 'C' refused",
                   "PC>   command A4 set clock: 2026-06-07 12:00  (8 bytes)",
                   "<REM  no reply within 800 ms  ** TIME-OUT **"},
                  2, 3, 0, 1}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

// The TI flash frames of the upgrade: blocks with four-byte sums, the
// remote's sum answered as a word of four bytes.
struct TiCase {
    const char* name;
    bool write;
    int badBlock;
    std::vector<std::string> faultLine;  // all on one line
    std::string next;
};

void PrintTo(const TiCase& c, std::ostream* os) { *os << c.name; }

class LinkTraceTiFrames : public TracedLink, public ::testing::WithParamInterface<TiCase> {};

TEST_P(LinkTraceTiFrames, ShowTheFaultAtItsBlock) {
    const TiCase& c = GetParam();
    UpgradeBuffers buffers;
    Upgrader upgrader(link, flash, buffers);
    ASSERT_TRUE(flash.SelectModel(kSelector2300));
    ASSERT_TRUE(link.EnsureLinkPort());
    remote.Boot().Faults().badSumBlock = c.badBlock;
    const TransferOutcome outcome = c.write ? upgrader.TiFlashWrite2300(kKindWhole) : upgrader.TiFlashRead2300();
    EXPECT_EQ(outcome.kind, TransferResult::Failed);
    const TraceReading reading = ReadLinkTrace(memory.Text());
    ASSERT_TRUE(reading.ok) << reading.error;
    size_t at = 0;
    for (; at < reading.lines.size(); ++at)
        if (std::all_of(c.faultLine.begin(), c.faultLine.end(),
                        [&](const std::string& part) { return reading.lines[at].find(part) != std::string::npos; }))
            break;
    ASSERT_LT(at + 1, reading.lines.size()) << "no line with \"" << c.faultLine[0] << "\"";
    EXPECT_NE(reading.lines[at + 1].find(c.next), std::string::npos) << reading.lines[at + 1];
}

INSTANTIATE_TEST_SUITE_P(
    Upgrade, LinkTraceTiFrames,
    ::testing::Values(
        // Three attempts, each answered with a sum one higher than sent.
        TiCase{"WriteWrongSumAnswered", true, 40, {"PC>   block 40, sum ", ", attempt 3  (268 bytes)  ** RETRY **"},
               "<REM  dword "},
        TiCase{"ReadBadSum", false, 10, {"<REM  block 10, sum ", "  (268 bytes)", "** CHECKSUM FAULT **"},
               "PC>   data "}),
    [](const ::testing::TestParamInfo<TiCase>& info) { return std::string(info.param.name); });

// IR codes both ways: the learned code judged by its sum, the code sent with
// its sum, each with the command that started the exchange.
TEST_F(TracedLink, IrCodesAreFramesWithTheirSums) {
    std::array<uint8_t, 512> code{};
    for (size_t i = 0; i < code.size(); ++i) code[i] = uint8_t(i * 5 + 1);
    const uint16_t sum = Sum16(code);
    char hex[8];
    std::snprintf(hex, sizeof hex, "%04X", sum);
    remote.SetLearnedCode(code);
    ASSERT_TRUE(link.Blocks().IrLearnStart());
    std::array<uint8_t, 512> got{};
    bool learned = false;
    for (int round = 0; round < 5 && !learned; ++round) {
        learned = link.Blocks().IrLearnReceive(got);
        if (!learned) link.WaitTicks(100);
    }
    ASSERT_TRUE(learned);
    link.Blocks().IrStop();
    pump.Advance(10);
    ASSERT_TRUE(link.Blocks().IrSendStart());
    ASSERT_TRUE(link.Blocks().IrSendCode(code));
    link.Blocks().IrSendRelease();

    const TraceReading reading = ReadLinkTrace(memory.Text());
    ASSERT_TRUE(reading.ok) << reading.error;
    const auto& lines = reading.lines;
    const std::string in = std::string("<REM  IR code, sum ") + hex + " good  (514 bytes)";
    const std::string out = std::string("PC>   IR code, sum ") + hex + "  (514 bytes)";
    const struct {
        std::string line, before, after;
    } expected[] = {
        {"PC>   command B3 IR learn", "", ""},
        {in, "PC>   ack 'B' accepted", "PC>   ack 'C' refused"},
        {"PC>   command B2 IR send", "", ""},
        {out, "<REM  ack 'B' accepted", "<REM  ack 'B' accepted"},
    };
    size_t from = 0;
    for (const auto& e : expected) {
        const size_t at = FindLine(lines, e.line, from);
        ASSERT_LT(at, lines.size()) << "no \"" << e.line << "\" after line " << from;
        if (!e.before.empty()) {
            EXPECT_NE(lines[at - 1].find(e.before), std::string::npos) << lines[at - 1];
        }
        if (!e.after.empty()) {
            EXPECT_NE(lines[at + 1].find(e.after), std::string::npos) << lines[at + 1];
        }
        from = at + 1;
    }
}

// The older packet protocol: each packet written with its sum, the remote's
// sum of it judged; a wrong one is marked at its packet.
TEST_F(TracedLink, APacketTheRemoteSumsWronglyIsMarkedAtItsNumber) {
    VirtualRemote old(256 * 1024);
    RemoteOnCable oldOnCable(old, port);
    old.Faults().corruptBlock = 9;
    ASSERT_TRUE(link.EnsureLinkPort());
    ASSERT_TRUE(link.OpenLinkPortAt(38400));
    ASSERT_TRUE(link.Packets().PacketWakeUpWrite());
    link.WaitTicks(50);
    ASSERT_TRUE(link.Packets().PacketWriteStart());
    link.WaitTicks(100);
    ASSERT_TRUE(link.Packets().PacketRateWriter());
    const std::vector<uint8_t> packet(128, 2);
    EXPECT_TRUE(link.Packets().PacketSend(8, packet));
    EXPECT_FALSE(link.Packets().PacketSend(9, packet));
    const TraceReading reading = ReadLinkTrace(memory.Text());
    ASSERT_TRUE(reading.ok) << reading.error;
    const auto& lines = reading.lines;
    const struct {
        const char* sent;
        const char* answer;
    } expected[] = {
        {"PC>   packet 8, sum 0100  (128 bytes)", "<REM  packet 8, sum 0100, the remote's sum, good  (2 bytes)"},
        {"PC>   packet 9, sum 0100  (128 bytes)",
         "<REM  packet 9, sum 0101, the remote's sum, expected 0100  (2 bytes)"},
    };
    for (const auto& e : expected) {
        const size_t at = FindLine(lines, e.sent);
        ASSERT_LT(at + 1, lines.size()) << e.sent;
        EXPECT_NE(lines[at + 1].find(e.answer), std::string::npos) << lines[at + 1];
    }
    EXPECT_NE(lines[FindLine(lines, "<REM  packet 9,")].find("** CHECKSUM FAULT **"), std::string::npos);
    EXPECT_EQ(reading.summary.checksumFaults, 1);
}

// The fault line names the block with the checksum it carried and the one it
// should have had, and a block read good counts as received.
TEST_F(TracedLink, ABadChecksumIsMarkedWithBothSums) {
    remote.Faults().corruptBlock = 2;
    EXPECT_FALSE(transfers.DownloadFromRemote(progress).Ok());
    const TraceReading reading = ReadLinkTrace(memory.Text());
    ASSERT_TRUE(reading.ok) << reading.error;
    const size_t at = FindLine(reading.lines, "<REM  block 2,");
    ASSERT_LT(at, reading.lines.size());
    const uint16_t good = Sum16(std::span<const uint8_t>(remote.Flash()).subspan(2 * 264, 264));
    char want[8];
    std::snprintf(want, sizeof want, "%04X", good);
    EXPECT_NE(reading.lines[at].find(std::string("expected ") + want + "  (266 bytes)"), std::string::npos)
        << reading.lines[at];
    EXPECT_NE(reading.lines[at].find("** CHECKSUM FAULT **"), std::string::npos);
    EXPECT_EQ(reading.summary.blocksReceived, 2);
}

// Recording off: the engine hands nothing to a recorder without sinks, and
// a sink removed gets no more lines.
TEST_F(TracedLink, ARemovedSinkGetsNothingMore) {
    recorder.RemoveSink(memory);
    ASSERT_TRUE(transfers.DownloadFromRemote(progress).Ok());
    EXPECT_TRUE(memory.Empty());
    EXPECT_EQ(memory.Text(), std::string(kTraceHeader) + "\n");
}

struct BadTrace {
    const char* name;
    std::string text;
    std::string error;
};

void PrintTo(const BadTrace& c, std::ostream* os) { *os << c.name; }

class LinkTraceBadFiles : public ::testing::TestWithParam<BadTrace> {};

TEST_P(LinkTraceBadFiles, AreRefusedWithTheLineAndReason) {
    const TraceReading reading = ReadLinkTrace(GetParam().text);
    EXPECT_FALSE(reading.ok);
    EXPECT_EQ(reading.error, GetParam().error);
    EXPECT_TRUE(reading.lines.empty());
}

const std::string kHead = std::string(kTraceHeader) + "\n";

INSTANTIATE_TEST_SUITE_P(
    Reading, LinkTraceBadFiles,
    ::testing::Values(
        BadTrace{"Empty", "", "not a link trace (the file is empty)"},
        BadTrace{"OtherFile", "PK\x03\x04 zip\n",
                 "not a link trace (its first line is not \"# orvalink link trace 1\")"},
        BadTrace{"TimeNotANumber", kHead + "12x > wake\n", "line 2: the time is not a number of microseconds"},
        BadTrace{"NoDirection", kHead + "# a comment\n12 ? wake\n", "line 3: the direction is not >, < or ="},
        BadTrace{"UnknownRecord", kHead + "12 > hello\n", "line 2: unknown record hello"},
        BadTrace{"ByteNotHex", kHead + "12 > bytes 41 4G\n", "line 2: not a byte in hexadecimal: 4G"},
        BadTrace{"ShortLine", kHead + "12 >\n", "line 2: not a trace record"},
        BadTrace{"OpenWithoutRate", kHead + "12 = open\n", "line 2: open without rate="}),
    [](const ::testing::TestParamInfo<BadTrace>& info) { return std::string(info.param.name); });

// A long recording reaches its file only when it ends: until then the file
// keeps what it held, and a recording given up leaves it so.
TEST(TraceFileTest, TheFileChangesOnlyWhenTheRecordingEnds) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "orvalink-trace-file-test";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::filesystem::path target = folder / "link.trace";
    const std::string before = "old contents\n";
    ASSERT_TRUE(ReplaceFileBytes(target, {reinterpret_cast<const uint8_t*>(before.data()), before.size()}));
    auto contents = [&] {
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(ReadFileBytes(target, bytes, 1 << 26));
        return std::string(bytes.begin(), bytes.end());
    };
    auto files = [&] {
        size_t n = 0;
        for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder)) ++n;
        return n;
    };
    for (const bool keep : {false, true}) {
        SCOPED_TRACE(keep ? "closed" : "given up");
        VirtualEventPump clock;
        LinkTraceRecorder recorder(clock);
        {
            TraceFile file;
            ASSERT_TRUE(file.Open(target));
            recorder.AddSink(file);
            TraceFrame wake;
            wake.kind = TraceKind::Wake;
            // More than one chunk, so some of it is on the disk already.
            for (int i = 0; i < 5000; ++i) recorder.Frame(wake);
            EXPECT_EQ(contents(), before);
            EXPECT_EQ(files(), 2u);
            recorder.RemoveSink(file);
            if (keep) {
                ASSERT_TRUE(file.Close());
            }
        }
        EXPECT_EQ(files(), 1u);
        if (!keep) {
            EXPECT_EQ(contents(), before);
            continue;
        }
        const TraceReading reading = ReadLinkTrace(contents());
        ASSERT_TRUE(reading.ok) << reading.error;
        EXPECT_EQ(reading.lines.size(), 5000u);
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace orvalink::testing
