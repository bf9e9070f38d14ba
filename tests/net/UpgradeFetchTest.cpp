// The upgrade fetch: the list file's columns, the names it may give, and
// whole fetches against a real HTTP server on loopback.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>

#include "formats/VFiles.h"
#include "net/UpgradeFetch.h"
#include "platform/Random.h"
#if defined(ORVALINK_NET_TEST_QT)
#include "platform/qt/QtHttpClient.h"
#else
#include "platform/curl/CurlHttpClient.h"
#endif
#include "platform/doubles/FixedClock.h"
#include "platform/doubles/ScriptedUiServices.h"
#include "tests/net/UpgradeServer.h"
#include "tests/support/Process.h"

namespace orvalink {
namespace {

namespace fs = std::filesystem;

// The same fetches run through the command line's client and the windows'.
#if defined(ORVALINK_NET_TEST_QT)
using TestHttpClient = QtHttpClient;
#else
using TestHttpClient = CurlHttpClient;
#endif

// A list line from its five fields, each padded to its column.
std::string Line(std::string name, std::string date, std::string time, std::string version, std::string file) {
    name.resize(26, ' ');
    date.resize(12, ' ');
    time.resize(8, ' ');
    version.resize(9, ' ');
    return name + date + time + version + file;
}

TEST(UpgradeListTest, LinesYieldEntriesOnlyWithRoomForAFileName) {
    std::string sixty = Line("QM-5100", "2009/05/12", "10:30p", "1.05", "a.vmc");
    ASSERT_EQ(sixty.size(), 60u);
    EXPECT_FALSE(ParseUpgradeLine(sixty));

    std::string sixtyOne = Line("QM-5100", "2009/05/12", "10:30p", "1.05", "ab.vmc");
    ASSERT_EQ(sixtyOne.size(), 61u);
    auto entry = ParseUpgradeLine(sixtyOne);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->fileName, "ab.vmc");
    EXPECT_EQ(entry->displayName, "QM-5100");
    EXPECT_EQ(entry->entryType, 20);
    EXPECT_EQ(entry->major, 1);
    EXPECT_EQ(entry->minor, 5);
}

TEST(UpgradeListTest, VersionAndDateTimeFields) {
    struct Case {
        std::string version, date, time;
        bool entry;
        uint16_t major, minor;
        bool hasDateTime;
        uint64_t dateTime;
    };
    const Case cases[] = {
        {"v2.13", "2009/05/12", "10:30p", true, 2, 13, true, 9051222'30ull},
        {"1.1.07", "2009/05/12", "09:05a", true, 11, 7, true, 9051209'05ull},
        {"1.07", "1999/12/31", "11:59 am", true, 1, 7, true, 1999123111'59ull},
        {"1.07", "2009/05/12", "10:30", true, 1, 7, false, 0},  // no marker
        {"1.07", "2009/05/12", "10:30x", true, 1, 7, false, 0},
        {"1.", "2009/05/12", "10:30p", false, 0, 0, false, 0},    // no minor digits
        {"a.05", "2009/05/12", "10:30p", false, 0, 0, false, 0},  // no major digits
        {"105", "2009/05/12", "10:30p", false, 0, 0, false, 0},   // no point
        // Each part is read whole, up to what 16 bits hold.
        {"1.12345", "2009/05/12", "10:30p", true, 1, 12345, true, 9051222'30ull},
        {"65535.0", "2009/05/12", "10:30p", true, 65535, 0, true, 9051222'30ull},
        {"1.65536", "2009/05/12", "10:30p", false, 0, 0, false, 0},
        {"123456.1", "2009/05/12", "10:30p", false, 0, 0, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version + " " + c.time);
        auto entry = ParseUpgradeLine(Line("QM-5100", c.date, c.time, c.version, "QM5100_v1_07.vmcu"));
        ASSERT_EQ(bool(entry), c.entry);
        if (!entry) continue;
        EXPECT_EQ(entry->major, c.major);
        EXPECT_EQ(entry->minor, c.minor);
        EXPECT_EQ(entry->hasDateTime, c.hasDateTime);
        EXPECT_EQ(entry->dateTime, c.dateTime);
    }
}

TEST(UpgradeListTest, ListSplitsAtEitherLineEndAndSkipsWhatYieldsNothing) {
    std::string text = Line("QM-5100", "2009/05/12", "10:30p", "1.05", "one.vmcu") + "\r\n" + "short line\n" +
                       Line("  qm-2300  ", "2009/05/12", "10:30p", "1.05", "  two.vmcf  ") + "\n" +
                       Line("QM-5100", "2009/05/12", "10:30p", "1.05", std::string(41, 'n'));
    auto entries = ParseUpgradeList(text);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].fileName, "one.vmcu");
    EXPECT_EQ(entries[1].displayName, "qm-2300");
    EXPECT_EQ(entries[1].fileName, "two.vmcf");
}

TEST(UpgradeListTest, OnlyPlainFileNamesMayBeWritten) {
    const std::pair<const char*, bool> cases[] = {
        {"QM5100_v1_07.vmcu", true}, {"a..b.vmcu", false}, {"../x.vmcu", false}, {"..", false},
        {"sub/x.vmcu", false},       {"sub\\x.vmcu", false}, {"C:x.vmcu", false}, {"c:\\x.vmcu", false},
        {".hidden.vmcu", false},     {"", false},            {"tab\tname", false}, {"name v2.vmcf", true},
    };
    for (auto [name, plain] : cases) EXPECT_EQ(IsPlainUpgradeFileName(name), plain) << name;
}

std::vector<uint8_t> ReadWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class TempFolder {
public:
    TempFolder() {
        static int counter = 0;
        path_ = fs::temp_directory_path() /
                ("orvalink-fetch-" + std::to_string(getpid()) + "-" + std::to_string(++counter));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

TEST(UpgradeListTest, BaseLocationFromEnvironmentSideFileOrDefault) {
    TempFolder program;
    EXPECT_EQ(UpgradeBaseLocation(program.Path(), nullptr), kDefaultUpgradeBase);
    std::ofstream(program.Path() / "upgrade_server.txt") << "  http://mirror.example/up/  \nsecond line\n";
    EXPECT_EQ(UpgradeBaseLocation(program.Path(), nullptr), "http://mirror.example/up");
    EXPECT_EQ(UpgradeBaseLocation(program.Path(), "http://other.example/x"), "http://other.example/x");
    EXPECT_EQ(UpgradeBaseLocation(program.Path(), "  "), "http://mirror.example/up");
}

TEST(HttpAddressTest, RedirectsStayOnTheHostOverHttpOrHttps) {
    std::string target;
    EXPECT_TRUE(RedirectAllowed("http://up.example:8080/a/b.txt", "/c/d.txt", target));
    EXPECT_EQ(target, "http://up.example:8080/c/d.txt");
    EXPECT_TRUE(RedirectAllowed("http://up.example/a/b.txt", "d.txt", target));
    EXPECT_EQ(target, "http://up.example/a/d.txt");
    EXPECT_TRUE(RedirectAllowed("http://up.example/a", "https://UP.example/b", target));
    EXPECT_EQ(target, "https://UP.example/b");
    target.clear();
    EXPECT_FALSE(RedirectAllowed("http://up.example/a", "http://evil.example/a", target));
    EXPECT_FALSE(RedirectAllowed("http://up.example/a", "//evil.example/a", target));
    EXPECT_FALSE(RedirectAllowed("http://up.example/a", "ftp://up.example/a", target));
    EXPECT_FALSE(RedirectAllowed("http://up.example/a", "file:///etc/passwd", target));
    EXPECT_FALSE(RedirectAllowed("http://up.example/a", "http://up.example@evil.example/", target));
    EXPECT_TRUE(target.empty());
}

// What a fetch told and handed over.
class RecordingView final : public UpgradeFetchView {
public:
    void FetchStatus(const std::string& text) override { statuses.push_back(text); }
    void BytesReceived(uint64_t total) override { lastBytes = total; ++packets; }
    void CommandFailed(const std::string& text, const std::string& why) override {
        failures.push_back(text);
        reasons.push_back(why);
    }
    bool Cancelled() override { return cancelAfterBytes > 0 && lastBytes >= cancelAfterBytes; }
    void TakeMcuFile(const fs::path& path, std::vector<uint8_t> payload, const VFileHeader& header) override {
        mcuPaths.push_back(path);
        mcu = std::move(payload);
        mcuVersion = header.versionWord;
    }
    bool TakeFlashFile(const fs::path& path, std::vector<uint8_t> payload, const VFileHeader& header) override {
        flashPaths.push_back(path);
        flash = std::move(payload);
        flashModel = header.modelCode;
        return acceptFlash;
    }
    bool Said(const std::string& text) const {
        return std::find(statuses.begin(), statuses.end(), text) != statuses.end();
    }

    std::vector<std::string> statuses, failures, reasons;
    std::vector<fs::path> mcuPaths, flashPaths;
    std::vector<uint8_t> mcu, flash;
    uint16_t mcuVersion = 0, flashModel = 0;
    uint64_t lastBytes = 0;
    int packets = 0;
    bool acceptFlash = true;
    uint64_t cancelAfterBytes = 0;  // the user cancels once this much came
};

std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
    std::vector<uint8_t> bytes(size);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = uint8_t(x >> 16);
    }
    return bytes;
}

std::vector<uint8_t> VFileBytes(uint16_t kind, uint16_t model, uint16_t version, const std::vector<uint8_t>& payload) {
    VFileHeader header;
    EXPECT_TRUE(FillVFileHeader(kind, model, version, header));
    SetSingleName(header, "QM-5100_");
    FixedClock clock;
    Pcg32Random random(7);
    std::vector<uint8_t> file;
    EXPECT_TRUE(BuildVFileBytes(payload, header, clock, random, file));
    return file;
}

class UpgradeFetchTest : public ::testing::Test {
protected:
    void SetUp() override {
        server_ = std::make_unique<testing::UpgradeServer>(serverRoot_.Path());
        ASSERT_TRUE(server_->Running()) << "the loopback server did not start";
        settings_.base = server_->Base();
        settings_.programFolder = program_.Path();
        settings_.displayName = "QM-5100";
    }

    // Puts an MCU and a flash file on the server and lists them (plus an
    // entry of another model) in the list file.
    void PutUpgrade() {
        server_->Put("QM5100_v1_07.vmcu", VFileBytes(kKindVmcu, 2000, 0x0107, mcuPayload_));
        server_->Put("QM5100_v1_07.vmcf", VFileBytes(kKindVmcf, 2000, 0x0107, flashPayload_));
        server_->Put("upgrade_info2.txt", ListText({{"QM-2300", "QM2300_v1_02.vmcu"},
                                                    {"QM-5100", "QM5100_v1_07.vmcf"},
                                                    {"qm-5100", "QM5100_v1_07.vmcu"}}));
    }
    static std::string ListText(const std::vector<std::pair<std::string, std::string>>& entries) {
        std::string text;
        for (auto& [model, file] : entries) text += Line(model, "2009/05/12", "10:30p", "1.07", file) + "\r\n";
        // The server's list files are never shorter than the 300-byte rule wants.
        while (text.size() < kUpgradeMinBody) text += "\r\n";
        return text;
    }
    bool Fetch() { return FetchUpgrade(http_, ui_, view_, settings_); }
    fs::path Local(const std::string& name) const { return program_.Path() / "Upgrade" / name; }

    TempFolder serverRoot_, program_;
    std::unique_ptr<testing::UpgradeServer> server_;
    TestHttpClient http_;
    ScriptedUiServices ui_;
    RecordingView view_;
    UpgradeFetchSettings settings_;
    std::vector<uint8_t> mcuPayload_ = Pattern(40000, 1);
    std::vector<uint8_t> flashPayload_ = Pattern(6000, 2);
};

TEST_F(UpgradeFetchTest, FetchLoadsTheModelsFilesAndKeepsThem) {
    PutUpgrade();
    ASSERT_TRUE(Fetch());
    EXPECT_TRUE(ui_.Messages().empty());
    EXPECT_EQ(view_.mcu, mcuPayload_);
    EXPECT_EQ(view_.mcuVersion, 0x0107);
    EXPECT_EQ(view_.flash, flashPayload_);
    EXPECT_EQ(view_.flashModel, 2000);
    EXPECT_TRUE(view_.Said("Open URL Ok!"));
    EXPECT_TRUE(view_.Said("Get URL upgrade information ok!"));
    EXPECT_GT(view_.lastBytes, 0u);
    EXPECT_TRUE(fs::is_regular_file(Local("QM5100_v1_07.vmcu")));
    EXPECT_TRUE(fs::is_regular_file(Local("QM5100_v1_07.vmcf")));
    EXPECT_FALSE(fs::exists(Local("QM2300_v1_02.vmcu")));  // another model's
    // Nothing but the two files stays in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(program_.Path() / "Upgrade"), fs::directory_iterator()), 2);

    // The second fetch asks only for the list.
    server_->ForgetRequests();
    RecordingView again;
    ASSERT_TRUE(FetchUpgrade(http_, ui_, again, settings_));
    EXPECT_EQ(server_->Requests(), std::vector<std::string>{"/downloads/upgrade/upgrade_info2.txt"});
    EXPECT_EQ(again.mcu, mcuPayload_);
}

TEST_F(UpgradeFetchTest, BodyOf299BytesIsAMissingFile) {
    server_->Put("upgrade_info2.txt", std::string(299, '\n'));
    EXPECT_FALSE(Fetch());
    EXPECT_EQ(ui_.MessageTexts(), std::vector<std::string>{"URL download file not found !"});
    EXPECT_TRUE(view_.Said("Open URL Error!"));

    // 300 bytes are a list (with nothing for the model: the fetch still fails).
    ui_.Clear();
    server_->Put("upgrade_info2.txt", std::string(300, '\n'));
    RecordingView second;
    EXPECT_FALSE(FetchUpgrade(http_, ui_, second, settings_));
    EXPECT_TRUE(ui_.Messages().empty());
    EXPECT_TRUE(second.Said("Get URL upgrade information ok!"));
}

TEST_F(UpgradeFetchTest, FlashOnlyListLoadsTheFlashAndStillFails) {
    server_->Put("QM5100_v1_07.vmcf", VFileBytes(kKindVmcf, 2000, 0x0107, flashPayload_));
    server_->Put("upgrade_info2.txt", ListText({{"QM-5100", "QM5100_v1_07.vmcf"}}));
    EXPECT_FALSE(Fetch());
    EXPECT_EQ(view_.flash, flashPayload_);
    EXPECT_TRUE(view_.mcu.empty());
}

TEST_F(UpgradeFetchTest, MissingServerFileEndsTheFetchAndNamesIt) {
    server_->Put("QM5100_v1_07.vmcf", VFileBytes(kKindVmcf, 2000, 0x0107, flashPayload_));
    server_->Put("upgrade_info2.txt",
                 ListText({{"QM-5100", "QM5100_v1_07.vmcf"}, {"QM-5100", "QM5100_v1_08.vmcu"}}));
    EXPECT_FALSE(Fetch());
    EXPECT_TRUE(view_.Said("DownLoad File QM5100_v1_08.vmcu Error!"));
    EXPECT_EQ(view_.failures, std::vector<std::string>{"Get Failed"});
    EXPECT_EQ(view_.flash, flashPayload_);  // what loaded before stays loaded
    EXPECT_FALSE(fs::exists(Local("QM5100_v1_08.vmcu")));
}

TEST_F(UpgradeFetchTest, NamesReachingOutOfTheFolderAreSkipped) {
    PutUpgrade();
    std::vector<uint8_t> evil = VFileBytes(kKindVmcu, 2000, 0x0199, Pattern(100, 9));
    server_->Put("upgrade_info2.txt",
                 ListText({{"QM-5100", "../evil.vmcu"}, {"QM-5100", "..\\evil.vmcu"}, {"QM-5100", "C:evil.vmcu"},
                           {"QM-5100", ".evil.vmcu"}, {"QM-5100", "sub/evil.vmcu"}, {"QM-5100", "QM5100_v1_07.vmcu"}}));
    ASSERT_TRUE(Fetch());
    EXPECT_TRUE(view_.Said("Skip File ../evil.vmcu (not a plain file name)!"));
    EXPECT_TRUE(view_.Said("Skip File C:evil.vmcu (not a plain file name)!"));
    EXPECT_EQ(view_.mcuPaths, std::vector<fs::path>{Local("QM5100_v1_07.vmcu")});
    // Only the list and the one plain file were asked for.
    EXPECT_EQ(server_->Requests().size(), 2u);
    EXPECT_FALSE(fs::exists(program_.Path() / "evil.vmcu"));
    EXPECT_FALSE(fs::exists(Local(".evil.vmcu")));
}

TEST_F(UpgradeFetchTest, OversizedBodyIsRefusedAndLeavesNoFile) {
    PutUpgrade();
    server_->Rules(R"({"/downloads/upgrade/QM5100_v1_07.vmcu": {"mode": "flood", "bytes": )" +
                   std::to_string(kUpgradeMaxBody + (1u << 20)) + "}}");
    EXPECT_FALSE(Fetch());
    EXPECT_TRUE(view_.Said("DownLoad File QM5100_v1_07.vmcu Error!"));
    EXPECT_LE(view_.lastBytes, kUpgradeMaxBody);
    EXPECT_FALSE(fs::exists(Local("QM5100_v1_07.vmcu")));
    for (auto& item : fs::directory_iterator(program_.Path() / "Upgrade"))
        EXPECT_EQ(item.path().filename(), "QM5100_v1_07.vmcf");

    // Once the server mends, the next fetch downloads the file whole.
    server_->Rules("{}");
    RecordingView again;
    EXPECT_TRUE(FetchUpgrade(http_, ui_, again, settings_));
    EXPECT_EQ(again.mcu, mcuPayload_);
}

TEST_F(UpgradeFetchTest, RedirectsFollowOnlyWithinTheHost) {
    PutUpgrade();
    server_->Put("moved.vmcu", VFileBytes(kKindVmcu, 2000, 0x0108, mcuPayload_));
    server_->Rules(R"({"/downloads/upgrade/QM5100_v1_07.vmcu": {"mode": "redirect", "to": "moved.vmcu"}})");
    ASSERT_TRUE(Fetch());
    EXPECT_EQ(view_.mcuVersion, 0x0108);

    // The same server under another host name is another host.
    fs::remove(Local("QM5100_v1_07.vmcu"));
    server_->Rules(R"({"/downloads/upgrade/QM5100_v1_07.vmcu": {"mode": "redirect", "to": ")" +
                   server_->Base("localhost") + "/moved.vmcu\"}}");
    RecordingView second;
    EXPECT_FALSE(FetchUpgrade(http_, ui_, second, settings_));
    EXPECT_TRUE(second.Said("DownLoad File QM5100_v1_07.vmcu Error!"));
}

TEST_F(UpgradeFetchTest, NoServerIsAConnectionError) {
    settings_.base = "http://127.0.0.1:1/downloads/upgrade";
    EXPECT_FALSE(Fetch());
    EXPECT_EQ(ui_.MessageTexts(),
              std::vector<std::string>{"Internet connection error ! \n Please check Internet is Ok!"});
    settings_.base.clear();
    ui_.Clear();
    std::vector<uint8_t> body;
    EXPECT_FALSE(HttpGetToStream(http_, ui_, view_, "", settings_.limits, body));
    EXPECT_EQ(ui_.MessageTexts(), std::vector<std::string>{"URL string Error !"});
}

// Short limits stand for the real ones: the rules are the same, only the
// numbers smaller.
HttpLimits ShortLimits() {
    HttpLimits limits;
    limits.timeoutMs = 300;
    limits.growMs = 300;
    limits.maxBodyBytes = kUpgradeMaxBody;
    limits.rateWindowMs = 1500;
    limits.minWindowBytes = 200;
    return limits;
}

TEST_F(UpgradeFetchTest, SlowButSteadyTransferOutlivesTheTimeOut) {
    PutUpgrade();
    settings_.limits = ShortLimits();
    settings_.limits.minWindowBytes = 1;
    // Eight pieces 0.2 s apart: 1.4 s, past the first 0.3 s, each piece
    // pushing the time-out 0.3 s further.
    server_->Rules(R"({"/downloads/upgrade/upgrade_info2.txt": {"mode": "slow", "pieces": 8, "interval": 0.2}})");
    ASSERT_TRUE(Fetch());
    EXPECT_GE(view_.packets, 8);
    EXPECT_EQ(view_.mcu, mcuPayload_);
}

#if !defined(ORVALINK_NET_TEST_QT)
// The one case at the real limits, where their length is the point: a
// server that pauses for seconds between two pieces is waited for.
TEST_F(UpgradeFetchTest, RealLimitsWaitOutAPauseOfSeconds) {
    PutUpgrade();
    server_->Rules(R"({"/downloads/upgrade/upgrade_info2.txt": {"mode": "slow", "pieces": 2, "interval": 3.0}})");
    ASSERT_TRUE(Fetch());
    EXPECT_EQ(view_.mcu, mcuPayload_);
}
#endif

// Every failed GET keeps the system's "Get Failed" and says why; the fetch
// ends with the status line of the file it was after.
TEST_F(UpgradeFetchTest, FailedGetsSayWhy) {
    struct Case {
        const char* label;
        std::string rule;  // for the vmcu
        uint64_t maxBody;
        const char* why;
    };
    const std::string file = "/downloads/upgrade/QM5100_v1_07.vmcu";
    const Case cases[] = {
        {"stall", R"({"mode": "stall", "after": 10})", kUpgradeMaxBody, "timed out: no data within the time-out"},
        {"trickle", R"({"mode": "trickle", "interval": 0.05, "for": 10})", kUpgradeMaxBody,
         "timed out: fewer than 200 bytes in 1500 ms"},
        {"over the cap", R"({"mode": "flood", "bytes": 50000})", 20000, "the body is longer than 20000 bytes"},
        {"refused redirect", R"({"mode": "redirect", "to": "http://elsewhere.invalid/x.vmcu"})", kUpgradeMaxBody,
         "redirect to http://elsewhere.invalid/x.vmcu refused"},
        {"HTTP 500", R"({"mode": "status", "code": 500})", kUpgradeMaxBody, "HTTP status 500"},
    };
    PutUpgrade();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        server_->Rules("{\"" + file + "\": " + c.rule + "}");
        settings_.limits = ShortLimits();
        settings_.limits.maxBodyBytes = c.maxBody;
        RecordingView view;
        EXPECT_FALSE(FetchUpgrade(http_, ui_, view, settings_));
        EXPECT_EQ(view.failures, std::vector<std::string>{"Get Failed"});
        EXPECT_EQ(view.reasons, std::vector<std::string>{c.why});
        EXPECT_TRUE(view.Said("DownLoad File QM5100_v1_07.vmcu Error!"));
        EXPECT_FALSE(fs::exists(Local("QM5100_v1_07.vmcu")));
    }
}

// The user's Cancel ends a transfer that would otherwise go on.
TEST_F(UpgradeFetchTest, CancelEndsATransferAtOnce) {
    PutUpgrade();
    server_->Rules(R"({"/downloads/upgrade/upgrade_info2.txt": {"mode": "trickle", "interval": 0.02, "for": 20}})");
    view_.cancelAfterBytes = 20;
    EXPECT_FALSE(Fetch());
    EXPECT_EQ(view_.reasons, std::vector<std::string>{"cancelled"});
    EXPECT_LT(view_.lastBytes, 100u);
    EXPECT_TRUE(view_.Said("Open URL Error!"));
    EXPECT_TRUE(ui_.Messages().empty());
}

// A file that does not load is never kept, so the next fetch asks for it
// again; one kept from before that no longer loads is removed and fetched.
TEST_F(UpgradeFetchTest, AFileThatDoesNotLoadIsNotKept) {
    PutUpgrade();
    const std::vector<uint8_t> good = VFileBytes(kKindVmcu, 2000, 0x0107, mcuPayload_);
    struct Case {
        const char* label;
        std::vector<uint8_t> body;
        const char* why;  // part of the skip status
    };
    std::vector<uint8_t> cut(good.begin(), good.begin() + long(good.size() / 2));
    const Case cases[] = {
        {"not a V file", std::vector<uint8_t>(400, 'x'), "Skip File QM5100_v1_07.vmcu ("},
        {"cut short", cut, "Skip File QM5100_v1_07.vmcu ("},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove_all(program_.Path() / "Upgrade");
        server_->Put("QM5100_v1_07.vmcu", c.body);
        RecordingView view;
        EXPECT_FALSE(FetchUpgrade(http_, ui_, view, settings_));
        bool said = false;
        for (const std::string& st : view.statuses)
            said = said || (st.rfind(c.why, 0) == 0 && st.find("not kept)!") != std::string::npos);
        EXPECT_TRUE(said);
        EXPECT_TRUE(view.mcuPaths.empty());
        EXPECT_FALSE(fs::exists(Local("QM5100_v1_07.vmcu")));
        EXPECT_TRUE(fs::exists(Local("QM5100_v1_07.vmcf")));  // the good one stays

        // The server mends: the next fetch asks for the file again and keeps it.
        server_->Put("QM5100_v1_07.vmcu", good);
        server_->ForgetRequests();
        RecordingView again;
        EXPECT_TRUE(FetchUpgrade(http_, ui_, again, settings_));
        EXPECT_EQ(again.mcu, mcuPayload_);
        EXPECT_EQ(server_->Requests(), (std::vector<std::string>{"/downloads/upgrade/upgrade_info2.txt",
                                                                 "/downloads/upgrade/QM5100_v1_07.vmcu"}));
    }
    // A broken file in the folder (left by an older version) goes and is fetched.
    std::ofstream(Local("QM5100_v1_07.vmcu"), std::ios::binary) << std::string(500, 'y');
    RecordingView third;
    EXPECT_TRUE(FetchUpgrade(http_, ui_, third, settings_));
    EXPECT_EQ(third.mcu, mcuPayload_);
    EXPECT_EQ(ReadWhole(Local("QM5100_v1_07.vmcu")), good);
}

// One list can name any number of files: the upgrade takes the last vmcu and
// the last vmcf of the model, and only those are fetched and kept.
TEST_F(UpgradeFetchTest, OnlyWhatTheUpgradeTakesIsStored) {
    PutUpgrade();
    std::vector<std::pair<std::string, std::string>> list;
    for (int i = 0; i < 250; ++i) {
        const std::string name = "extra" + std::to_string(i);
        server_->Put(name + ".vmcu", VFileBytes(kKindVmcu, 2000, 0x0100, Pattern(300, uint8_t(i))));
        list.push_back({"QM-5100", name + ".vmcu"});
        list.push_back({"QM-5100", name + ".vmcf"});
    }
    list.push_back({"QM-5100", "readme.txt"});
    list.push_back({"QM-5100", "QM5100_v1_07.vmcf"});
    list.push_back({"QM-5100", "QM5100_v1_07.vmcu"});
    server_->Put("upgrade_info2.txt", ListText(list));
    ASSERT_TRUE(Fetch());
    EXPECT_EQ(view_.mcu, mcuPayload_);
    EXPECT_EQ(view_.flash, flashPayload_);
    EXPECT_EQ(std::distance(fs::directory_iterator(program_.Path() / "Upgrade"), fs::directory_iterator()), 2);
    EXPECT_EQ(server_->Requests().size(), 3u);
    EXPECT_TRUE(view_.Said("Skip File extra0.vmcu (a later vmcu file is listed)!"));
    EXPECT_TRUE(view_.Said("Skip File extra249.vmcf (a later vmcf file is listed)!"));
    EXPECT_TRUE(view_.Said("Skip File readme.txt (not a vmcu or vmcf file)!"));
}

// Names from the server reach the status line with their control bytes
// escaped: nothing of theirs can act on a terminal.
TEST_F(UpgradeFetchTest, NamesFromTheServerAreShownEscaped) {
    PutUpgrade();
    const std::string names[] = {"\x1B[2Jname.vmcu", std::string("nul\0name.vmcu", 13), "cr\rname.vmcu",
                                 "del\x7Fname.vmcu", "csi\xC2\x9B" "2Jx.vmcu", "bad\xFF.vmcu"};
    std::vector<std::pair<std::string, std::string>> list;
    for (const std::string& n : names) list.push_back({"QM-5100", n});
    list.push_back({"QM-5100", "QM5100_v1_07.vmcu"});
    server_->Put("upgrade_info2.txt", ListText(list));
    ASSERT_TRUE(Fetch());
    for (const std::string& st : view_.statuses)
        for (char ch : st) {
            const auto b = static_cast<unsigned char>(ch);
            EXPECT_TRUE(b >= 0x20 && b != 0x7F && b != 0xC2 && b != 0xFF) << st;
        }
    EXPECT_TRUE(view_.Said("Skip File \\x1B[2Jname.vmcu (not a plain file name)!"));
    EXPECT_TRUE(view_.Said("Skip File nul\\x00name.vmcu (not a plain file name)!"));
    EXPECT_TRUE(view_.Said("Skip File csi\\xC2\\x9B2Jx.vmcu (a later vmcu file is listed)!"));
}

#if defined(ORVALINK_CLI_PROGRAM)
TEST_F(UpgradeFetchTest, CommandLineFetchesIntoTheFolderGiven) {
    PutUpgrade();
    TempFolder scratch;
    auto run = testing::RunProcess({ORVALINK_CLI_PROGRAM, "fetch", "--model", "QM-5100", "--url", server_->Base() + "/",
                                    "--folder", program_.Path().string()},
                                   scratch.Path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("mcu version: 1.07\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("flash payload length: 6000\n"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("Download upgrade files OK !"), std::string::npos) << run.err;
    EXPECT_TRUE(fs::is_regular_file(Local("QM5100_v1_07.vmcu")));

    auto unknown = testing::RunProcess({ORVALINK_CLI_PROGRAM, "fetch", "--model", "QM-9999"}, scratch.Path());
    EXPECT_EQ(unknown.exitCode, 2);
    server_->Put("upgrade_info2.txt", ListText({{"QM-5100", "QM5100_v1_07.vmcf"}}));
    auto flashOnly = testing::RunProcess({ORVALINK_CLI_PROGRAM, "fetch", "--model", "QM-5100", "--url",
                                          server_->Base(), "--folder", program_.Path().string()},
                                         scratch.Path());
    EXPECT_EQ(flashOnly.exitCode, 1);
    EXPECT_NE(flashOnly.err.find("Download upgrade files ERROR !"), std::string::npos) << flashOnly.err;
}
// The command line: a failed GET says why after the system's words, the
// server's names are shown escaped, and Ctrl+C or SIGTERM end a transfer
// that would go on for long, as the page's CANCEL does.
TEST_F(UpgradeFetchTest, CommandLineSaysWhyAndEndsOnASignal) {
    PutUpgrade();
    server_->Put("upgrade_info2.txt", ListText({{"QM-5100", "\x1B[2J\rclear.vmcu"},
                                                {"QM-5100", "QM5100_v1_07.vmcf"},
                                                {"QM-5100", "QM5100_v1_07.vmcu"}}));
    TempFolder scratch;
    auto fetch = [&](const testing::ProcessOptions& options) {
        return testing::RunProcess({ORVALINK_CLI_PROGRAM, "fetch", "--model", "QM-5100", "--url", server_->Base(),
                                    "--folder", program_.Path().string()},
                                   scratch.Path(), options);
    };
    const std::string vmcu = "/downloads/upgrade/QM5100_v1_07.vmcu";
    server_->Rules("{\"" + vmcu + R"(": {"mode": "status", "code": 500}})");
    auto failed = fetch({});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_NE(failed.err.find("Get Failed (HTTP status 500)\nDownLoad File QM5100_v1_07.vmcu Error!\n"),
              std::string::npos) << failed.err;
    EXPECT_NE(failed.err.find("Skip File \\x1B[2J\\x0Dclear.vmcu (not a plain file name)!"), std::string::npos)
        << failed.err;
    EXPECT_EQ(failed.err.find('\x1B'), std::string::npos);
    EXPECT_EQ(failed.err.find('\r'), std::string::npos);

    for (int number : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(number);
        server_->ForgetRequests();
        server_->Rules("{\"" + vmcu + R"(": {"mode": "trickle", "interval": 0.05, "for": 30}})");
        testing::ProcessOptions options;
        options.timeout = std::chrono::seconds(25);
        options.whileRunning = [&](pid_t pid) {
            // Once the file is being sent, the user gives up.
            for (int i = 0; i < 200; ++i) {
                const auto asked = server_->Requests();
                if (std::find(asked.begin(), asked.end(), vmcu) != asked.end()) break;
                ::usleep(50000);
            }
            ::usleep(300000);
            ::kill(pid, number);
        };
        const auto run = fetch(options);
        EXPECT_EQ(run.exitCode, 128 + number) << run.err;
        EXPECT_NE(run.err.find("Get Failed (cancelled)\n"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("Download upgrade files ERROR !\n"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(number == SIGINT ? "orvalink-cli: cancelled (SIGINT)" : "orvalink-cli: cancelled (SIGTERM)"),
                  std::string::npos)
            << run.err;
        EXPECT_FALSE(fs::exists(Local("QM5100_v1_07.vmcu")));
    }
}
#endif


}  // namespace
}  // namespace orvalink
