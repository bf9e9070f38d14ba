// The simulated world the link tests run in: a virtual-clock pump, a cable
// (loop-back port) with the virtual remote on its far end, a registry that
// shows one adapter at COM3, scripted message boxes, a recording view and a
// scripted progress dialog, and the link engine on top.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "image/Tiflashut.h"
#include "link/LinkEngine.h"
#include "link/Transfers.h"
#include "link/Transtatus.h"
#include "link/sim/VirtualRemote.h"
#include "platform/doubles/FakeDeviceNotifier.h"
#include "platform/doubles/FixedClock.h"
#include "platform/doubles/LoopbackSerialPort.h"
#include "platform/doubles/MemoryRegistry.h"
#include "platform/doubles/ScriptedUiServices.h"
#include "platform/doubles/VirtualEventPump.h"

namespace orvalink::testing {

// Puts the virtual remote on the far end of a loop-back port.
class RemoteOnCable final : public CablePeer {
public:
    RemoteOnCable(VirtualRemote& remote, LoopbackSerialPort& port) : remote_(remote), port_(port) {
        port_.SetPeer(this);
        remote_.SetOutput([this](std::span<const uint8_t> bytes, int baud) { port_.SendFromPeer(bytes, baud); });
        remote_.SetHangUpHandler([this] { port_.HangUp(); });
    }
    ~RemoteOnCable() override { port_.SetPeer(nullptr); }
    void OnReceive(std::span<const uint8_t> bytes, int baud, uint64_t now) override {
        remote_.Receive(bytes, baud, now);
    }
    uint64_t NextEventMicros() const override { return remote_.NextEventMicros(); }
    void RunUntil(uint64_t now) override { remote_.RunUntil(now); }

private:
    VirtualRemote& remote_;
    LoopbackSerialPort& port_;
};

// Remembers everything the engine told, as the communication window shows it.
class RecordingView final : public LinkView {
public:
    void DiscoveryStarted() override {
        comMemo.clear();
        ++discoveries;
    }
    void DiscoveryLog(const std::string& text) override { comMemo += text; }
    void AdapterSeen(const std::string& hint) override { trayHint = hint; }
    void PortFound(const std::string& name, const std::string& hint) override {
        foundName = name;
        trayImage = 1;
        trayHint = hint;
    }
    void PortArrived(const std::string& hint) override {
        trayImage = 1;
        trayHint = hint;
    }
    void PortLost(const std::string& hint) override {
        ++portsLost;
        foundName.clear();
        trayImage = 0;
        trayHint = hint;
    }
    void BytesSent(const std::string& hex) override { monitor += hex; }
    void MonitorWrapped() override {
        monitor.clear();
        ++monitorClears;
    }
    void PacketLog(const std::string& text) override { monitor += text; }
    void PacketReadStarting() override {
        monitor.clear();
        ++monitorClears;
    }
    void StatusMessage(const std::string& text) override { status = text; }
    void ProgressChanged(int position) override {
        gauge = position;
        gauges.push_back(position);
    }
    void ProgressRange(int maximum) override { gaugeMaximum = maximum; }
    void TestFrameReceived(std::span<const uint8_t> frame) override {
        testFrames.emplace_back(frame.begin(), frame.end());
    }

    std::string comMemo, monitor, status, trayHint, foundName;
    int discoveries = 0, portsLost = 0, monitorClears = 0, trayImage = -1, gauge = -1, gaugeMaximum = -1;
    std::vector<std::vector<uint8_t>> testFrames;
    std::vector<int> gauges;  // every position, in order
};

// The progress dialog as a user drives it: cancels when the gauge reaches
// cancelAt (or never), and closes the dialog as soon as it may.
class ScriptedProgress final : public TransferProgress {
public:
    explicit ScriptedProgress(LinkEngine& link) : link_(link) {}
    void Open(const std::string& status, int maximum) override {
        ++opens;
        this->status = status;
        this->maximum = maximum;
        open_ = true;
        closedByUser_ = false;
    }
    void SetPosition(int position) override {
        last = position;
        if (open_ && cancelAt >= 0 && position >= cancelAt && !closedByUser_) {
            link_.SetUserAbort(true);  // Cancel
            closedByUser_ = true;
        }
    }
    void Succeeded() override { succeeded = true; }
    bool Closed() const override { return !open_ || closedByUser_ || closeWhenAsked; }
    void Release() override {
        open_ = false;
        ++releases;
    }

    int cancelAt = -1;
    bool closeWhenAsked = true;
    int opens = 0, releases = 0, maximum = 0, last = -1;
    bool succeeded = false;
    std::string status;

private:
    LinkEngine& link_;
    bool open_ = false;
    bool closedByUser_ = false;
};

// One registered adapter below the NT-family key.
inline void AddNtAdapter(MemoryRegistry& registry, const std::string& instance, const std::string& portName,
                         bool present = true, bool serviced = true) {
    const std::string key = std::string(kNtAdapterKey) + "\\" + instance;
    registry.AddKey(key + "\\Control");
    if (serviced) registry.SetValue(key + "\\Control", "ActiveService", "Ser2pl");
    if (present) registry.SetValue(key + "\\Control", "DeviceReference", "1");
    registry.SetValue(key + "\\Device Parameters", "PortName", portName);
}

class LinkFixture : public ::testing::Test {
protected:
    LinkFixture() : port(pump, 3), cable(remote, port), link(port, pump, registry, ui, clock, view), transfers(link, flash),
                    progress(link) {
        AddNtAdapter(registry, "5&2f1c3a&0&1", "COM3");
        clock.SetDate({2026, 12, 8});
        clock.SetTimeOfDay(9, 41);
    }

    // The remote's flash filled with a recognisable pattern.
    void FillRemote(uint8_t seed = 7) {
        auto f = remote.Flash();
        for (size_t i = 0; i < f.size(); ++i) f[i] = uint8_t(i * 31 + seed + i / 264);
    }
    void FillImage(uint8_t value) {
        auto img = flash.Image();
        std::fill(img.begin(), img.end(), value);
    }
    bool ImageEqualsRemote(size_t bytes) const {
        auto img = flash.Image();
        auto f = remote.Flash();
        return std::equal(img.begin(), img.begin() + long(bytes), f.begin());
    }
    bool Shown(const std::string& text) const {
        auto t = ui.MessageTexts();
        return std::find(t.begin(), t.end(), text) != t.end();
    }

    VirtualEventPump pump;
    LoopbackSerialPort port;
    VirtualRemote remote;
    RemoteOnCable cable;
    MemoryRegistry registry;
    ScriptedUiServices ui;
    FixedClock clock;
    RecordingView view;
    LinkEngine link;
    TTiFlashFm flash;
    Transfers transfers;
    ScriptedProgress progress;
};

}  // namespace orvalink::testing
