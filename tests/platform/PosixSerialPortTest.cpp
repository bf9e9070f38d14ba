// The link port on a POSIX terminal and the poll() pump, over a
// pseudo-terminal: the test holds the far (master) end.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/linux/PollEventPump.h"
#include "platform/linux/PosixSerialPort.h"

namespace orvalink {
namespace {

double CpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// A pseudo-terminal whose slave is COM3 for the port.
class PosixPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[256] = {};
        ASSERT_EQ(::openpty(&master_, &slave_, name, nullptr, nullptr), 0);
        slaveName_ = name;
        // The master end in raw mode, so bytes pass unchanged both ways.
        termios t{};
        ASSERT_EQ(::tcgetattr(slave_, &t), 0);
        ::cfmakeraw(&t);
        ASSERT_EQ(::tcsetattr(slave_, TCSANOW, &t), 0);
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        port_.SetPortNumber(3);
        port_.SetDataAvailableHandler([this](size_t count) {
            announced_ += count;
            std::vector<uint8_t> bytes(count);
            ASSERT_EQ(port_.Read(bytes), count);
            received_.insert(received_.end(), bytes.begin(), bytes.end());
        });
    }
    void TearDown() override {
        port_.Close();
        if (master_ >= 0) ::close(master_);
        if (slave_ >= 0) ::close(slave_);
    }
    void HangUp() {
        // The far end goes: the slave this test held open goes too, so that
        // only the port holds the line.
        ::close(slave_);
        slave_ = -1;
        ::close(master_);
        master_ = -1;
    }
    std::vector<uint8_t> ReadMaster(size_t want, uint32_t timeoutMs = 2000) {
        std::vector<uint8_t> got;
        uint8_t buffer[4096];
        while (got.size() < want) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, int(timeoutMs)) <= 0) break;
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n <= 0) break;
            got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }

    int master_ = -1;
    int slave_ = -1;
    std::string slaveName_;
    PollEventPump pump_;
    PosixSerialPort port_{[this](int n) { return n == 3 ? slaveName_ : std::string(); }, pump_};
    std::vector<uint8_t> received_;
    size_t announced_ = 0;
};

TEST_F(PosixPortTest, BytesGoBothWaysAndArriveThroughThePump) {
    port_.SetBaudRate(115200);
    ASSERT_TRUE(port_.Open()) << port_.ErrorText();
    const std::vector<uint8_t> out = {'A', 0x00, 0xFF, 0x11, 0x13, '\r', '\n', 0x7F};
    ASSERT_TRUE(port_.Write(out));
    ASSERT_TRUE(port_.WriteChar(0x42));
    std::vector<uint8_t> expected = out;
    expected.push_back(0x42);
    EXPECT_EQ(ReadMaster(expected.size()), expected);

    std::vector<uint8_t> in(300);
    for (size_t i = 0; i < in.size(); ++i) in[i] = uint8_t(i * 7);
    ASSERT_EQ(::write(master_, in.data(), in.size()), ssize_t(in.size()));
    EXPECT_TRUE(pump_.PumpUntil([&] { return received_.size() >= in.size(); }, 5000));
    EXPECT_EQ(received_, in);
    EXPECT_EQ(announced_, in.size());
    EXPECT_EQ(port_.InputCount(), 0u);
}

TEST_F(PosixPortTest, TheLinkRatesReachTheLine) {
    const struct {
        int rate;
        speed_t speed;
    } rates[] = {{300, B300}, {2400, B2400}, {9600, B9600}, {38400, B38400}, {115200, B115200}};
    for (const auto& r : rates) {
        port_.SetBaudRate(r.rate);
        ASSERT_TRUE(port_.Open()) << r.rate << ": " << port_.ErrorText();
        termios t{};
        ASSERT_EQ(::tcgetattr(port_.Fd(), &t), 0);
        EXPECT_EQ(::cfgetospeed(&t), r.speed) << r.rate;
        EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
        EXPECT_EQ(t.c_cflag & PARENB, 0u);
        port_.Close();
    }
    // Changed while open, the rate applies at once.
    port_.SetBaudRate(300);
    ASSERT_TRUE(port_.Open());
    port_.SetBaudRate(115200);
    termios t{};
    ASSERT_EQ(::tcgetattr(port_.Fd(), &t), 0);
    EXPECT_EQ(::cfgetospeed(&t), speed_t(B115200));
    EXPECT_EQ(port_.BaudRate(), 115200);
    // A rate the system has no constant for does not open.
    port_.Close();
    port_.SetBaudRate(12345);
    EXPECT_FALSE(port_.Open());
    EXPECT_NE(port_.ErrorText().find("12345"), std::string::npos);
    EXPECT_FALSE(port_.IsOpen());
}

TEST_F(PosixPortTest, WhatIsNotASerialPortIsNamed) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("posix-port-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string regular = (dir / "regular").string();
    std::ofstream(regular) << "x";
    for (const std::string& path : {regular, std::string("/dev/null")}) {
        PosixSerialPort p([&](int) { return path; }, pump_);
        EXPECT_FALSE(p.Open());
        EXPECT_EQ(p.ErrorText(), path + ": not a serial port");
        EXPECT_FALSE(p.IsOpen());
    }
    const std::string missing = (dir / "no-such-tty").string();
    PosixSerialPort absent([&](int) { return missing; }, pump_);
    EXPECT_FALSE(absent.Open());
    EXPECT_NE(absent.ErrorText().find(missing), std::string::npos);
    PosixSerialPort unnamed([](int) { return std::string(); }, pump_);
    unnamed.SetPortNumber(9);
    EXPECT_FALSE(unnamed.Open());
    EXPECT_EQ(unnamed.ErrorText(), "COM9: no such port");
    std::filesystem::remove_all(dir);
}

TEST_F(PosixPortTest, FlushingInputDropsWhatWaits) {
    ASSERT_TRUE(port_.Open());
    const uint8_t junk[] = {1, 2, 3, 4};
    ASSERT_EQ(::write(master_, junk, sizeof junk), ssize_t(sizeof junk));
    pollfd p{port_.Fd(), POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 2000), 1);
    port_.FlushInput();
    EXPECT_EQ(port_.InputCount(), 0u);
    EXPECT_FALSE(pump_.PumpUntil([&] { return !received_.empty(); }, 50));
    // What comes after the flush arrives.
    const uint8_t next = 0x55;
    ASSERT_EQ(::write(master_, &next, 1), 1);
    EXPECT_TRUE(pump_.PumpUntil([&] { return !received_.empty(); }, 5000));
    EXPECT_EQ(received_, std::vector<uint8_t>{0x55});
}

TEST_F(PosixPortTest, BytesTheDriverCannotTakeYetLeaveWhileThePumpWaits) {
    port_.SetOutBufferSize(1 << 20);
    ASSERT_TRUE(port_.Open());
    // Nobody reads the far end: the driver's buffer fills and the rest waits
    // in the port.
    std::vector<uint8_t> sent;
    const std::vector<uint8_t> chunk(1000, 0x5A);
    for (int i = 0; i < 1000 && port_.OutputFree() == (1 << 20); ++i) {
        std::vector<uint8_t> c = chunk;
        c[0] = uint8_t(i);
        ASSERT_TRUE(port_.Write(c));
        sent.insert(sent.end(), c.begin(), c.end());
    }
    ASSERT_LT(port_.OutputFree(), 1 << 20);
    // The far end reads; the pump hands the rest to the driver.
    std::vector<uint8_t> got;
    uint8_t buffer[4096];
    for (int round = 0; round < 2000 && got.size() < sent.size(); ++round) {
        pump_.PumpUntil([] { return false; }, 2);
        ssize_t n;
        while ((n = ::read(master_, buffer, sizeof buffer)) > 0) got.insert(got.end(), buffer, buffer + n);
    }
    EXPECT_EQ(got, sent);
    EXPECT_EQ(port_.OutputFree(), 1 << 20);
}

TEST_F(PosixPortTest, AHungUpLineIsClosedAndTheWaitSleeps) {
    ASSERT_TRUE(port_.Open());
    const uint8_t last[] = {0x42, 0x43};
    ASSERT_EQ(::write(master_, last, sizeof last), ssize_t(sizeof last));
    ASSERT_TRUE(pump_.PumpUntil([&] { return received_.size() == 2; }, 5000));
    HangUp();
    EXPECT_TRUE(pump_.PumpUntil([&] { return !port_.IsOpen(); }, 5000));
    EXPECT_FALSE(port_.IsOpen());
    EXPECT_EQ(port_.ErrorText(), "the line hung up");
    EXPECT_EQ(received_, (std::vector<uint8_t>{0x42, 0x43}));
    EXPECT_FALSE(port_.WriteChar(0x41));
    // The rest of a wait sleeps: the CPU stays idle.
    const double cpuBefore = CpuSeconds();
    const uint32_t waited = pump_.WaitTicks(300);
    const double cpu = CpuSeconds() - cpuBefore;
    EXPECT_GE(waited, 300u);
    EXPECT_LT(cpu, 0.5 * waited / 1000.0);
}

TEST(PollEventPump, AConditionThatHoldsReturnsAtOnce) {
    PollEventPump pump;
    int checks = 0;
    EXPECT_TRUE(pump.PumpUntil([&] { ++checks; return true; }, 60000));
    EXPECT_EQ(checks, 1);
}

TEST(PollEventPump, WithNothingToWatchAWaitSleepsToItsDeadline) {
    PollEventPump pump;
    const double cpuBefore = CpuSeconds();
    const uint32_t start = pump.TickCount();
    EXPECT_FALSE(pump.PumpUntil([] { return false; }, 200));
    const uint32_t waited = pump.TickCount() - start;
    EXPECT_GE(waited, 200u);
    EXPECT_LT(CpuSeconds() - cpuBefore, 0.5 * waited / 1000.0);
}

// A source whose descriptor is ready wakes the wait and is told.
class PipeSource final : public PollSource {
public:
    explicit PipeSource(int fd) : fd_(fd) {}
    int PollFd() const override { return fd_; }
    short PollEvents() const override { return POLLIN; }
    void OnPoll(short revents) override {
        if (revents & POLLIN) {
            char c;
            while (::read(fd_, &c, 1) == 1) ++bytes;
        }
    }
    int bytes = 0;

private:
    int fd_;
};

TEST(PollEventPump, AReadySourceEndsTheWaitAndUnwatchedOnesAreLeftAlone) {
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_NONBLOCK), 0);
    PollEventPump pump;
    PipeSource source(fds[0]);
    pump.Watch(&source);
    pump.Watch(&source);  // once is enough
    ASSERT_EQ(::write(fds[1], "abc", 3), 3);
    EXPECT_TRUE(pump.PumpUntil([&] { return source.bytes == 3; }, 60000));
    pump.Unwatch(&source);
    ASSERT_EQ(::write(fds[1], "d", 1), 1);
    EXPECT_FALSE(pump.PumpUntil([&] { return source.bytes == 4; }, 30));
    EXPECT_EQ(source.bytes, 3);
    ::close(fds[0]);
    ::close(fds[1]);
}

}  // namespace
}  // namespace orvalink
