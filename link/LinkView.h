// What the link tells the communication window, named after what happened.
// Every method has an empty default, so a window (or a test) overrides only
// what it shows.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace orvalink {

class LinkView {
public:
    virtual ~LinkView() = default;

    // ---- Port discovery
    // A search of the registry view begins (its log starts over).
    virtual void DiscoveryStarted() {}
    // A line of the search's log.
    virtual void DiscoveryLog(const std::string& /*text*/) {}
    // A serviced adapter was seen while searching; `hint` describes it.
    virtual void AdapterSeen(const std::string& /*hint*/) {}
    // The search chose the adapter's port `name` ("COM3").
    virtual void PortFound(const std::string& /*name*/, const std::string& /*hint*/) {}
    // The system announced the adapter's port.
    virtual void PortArrived(const std::string& /*hint*/) {}
    // The adapter's port went away.
    virtual void PortLost(const std::string& /*hint*/) {}

    // ---- The monitor
    // Bytes written to the port, as hexadecimal text.
    virtual void BytesSent(const std::string& /*hex*/) {}
    // Another 2048 bytes were shown: the monitor starts over.
    virtual void MonitorWrapped() {}
    // A line of the packet protocol's log.
    virtual void PacketLog(const std::string& /*text*/) {}
    // A packet read of the 95 family begins (the monitor starts over).
    virtual void PacketReadStarting() {}

    // ---- Status and progress
    virtual void StatusMessage(const std::string& /*text*/) {}
    virtual void ProgressChanged(int /*position*/) {}
    virtual void ProgressRange(int /*maximum*/) {}

    // A 994-byte frame for the test page's receive area.
    virtual void TestFrameReceived(std::span<const uint8_t> /*frame*/) {}
};

}  // namespace orvalink
