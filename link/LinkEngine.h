// The link engine: everything the program says to the remote over the link
// port and how it listens. The communication window TComTestFm owns one.
//
// One class per concern, each owning its state, and this facade owning them:
//   ReceiveAssembler  receive modes, the assembly and the ready frame
//   LinkChannel       sending, the waits and single-value reads, the link
//                     status, the user's abort and the progress counter
//   PortDiscovery     the adapter's port in the registry view, the cable
//                     plugged in and pulled out, the port at its rates
//   BlockProtocol     the current protocol, with IR learn and send
//   PacketProtocol    the older packet protocol
//
// The conversation is written as it happens: set the receive mode, send the
// request, wait for the frame, judge it. Every wait is an EventPump wait with
// its time-out, so the assembler, Cancel and the device-change handler run
// while an exchange waits.
#pragma once

#include <cstdint>

#include "link/BlockProtocol.h"
#include "link/LinkChannel.h"
#include "link/LinkTrace.h"
#include "link/LinkView.h"
#include "link/PacketProtocol.h"
#include "link/PortDiscovery.h"
#include "link/ReceiveAssembler.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/Registry.h"
#include "platform/SerialPort.h"
#include "platform/UiServices.h"

namespace orvalink {

class LinkEngine {
public:
    // Everything the engine needs is handed in; it keeps references.
    // windowsVersion is a GetVersion value (it decides the discovery keys).
    LinkEngine(SerialPort& port, EventPump& pump, Registry& registry, UiServices& ui, Clock& clock,
               LinkView& view, uint32_t windowsVersion = kNtVersionWord);
    // The same, with the conversation handed to `trace` (a recorder that may
    // be switched on and off): the port is wrapped so that every byte and
    // every open and close is recorded, and the protocol classes name the
    // frames.
    LinkEngine(SerialPort& port, EventPump& pump, Registry& registry, UiServices& ui, Clock& clock,
               LinkView& view, LinkTrace& trace, uint32_t windowsVersion = kNtVersionWord);
    LinkEngine(const LinkEngine&) = delete;
    LinkEngine& operator=(const LinkEngine&) = delete;

    // ---- The parts
    LinkChannel& Channel() { return channel_; }
    ReceiveAssembler& Receiver() { return channel_.Receiver(); }
    const ReceiveAssembler& Receiver() const { return channel_.Receiver(); }
    PortDiscovery& Discovery() { return discovery_; }
    BlockProtocol& Blocks() { return blocks_; }
    PacketProtocol& Packets() { return packets_; }

    SerialPort& Port() { return channel_.Port(); }
    EventPump& Pump() { return channel_.Pump(); }
    UiServices& Ui() { return channel_.Ui(); }
    Clock& GetClock() { return clock_; }
    LinkView& View() { return channel_.View(); }
    LinkTrace& Trace() { return channel_.Trace(); }

    // ---- The link state
    // linkStatus: kLinkGood or kLinkFailed.
    int LinkStatus() const { return channel_.LinkStatus(); }
    void SetLinkStatus(int status) { channel_.SetLinkStatus(status); }
    // The user's Cancel of a transfer.
    bool UserAbort() const { return channel_.UserAbort(); }
    void SetUserAbort(bool abort) { channel_.SetUserAbort(abort); }
    // receiveMode.
    ReceiveMode CurrentReceiveMode() const { return channel_.Receiver().Mode(); }
    void SetReceiveMode(ReceiveMode mode) { channel_.Receiver().SetMode(mode); }
    // Mode set, assembly and frame-ready cleared: ready for a new answer.
    void Expect(ReceiveMode mode) { channel_.Receiver().Expect(mode); }
    void ResetAssembly() { channel_.Receiver().ResetAssembly(); }
    int Progress() const { return channel_.Progress(); }
    void SetProgress(int value) { channel_.SetProgress(value); }
    uint32_t WaitTicks(uint32_t ms) { return channel_.WaitTicks(ms); }

    // ---- The link port
    bool FindVisualComPort(int& portNumber) { return discovery_.FindVisualComPort(portNumber); }
    bool EnsureLinkPort() { return discovery_.EnsureLinkPort(); }
    bool OpenLinkPortAt(int rate) { return discovery_.OpenLinkPortAt(rate); }
    bool CloseLinkPort() { return discovery_.CloseLinkPort(); }

private:
    Clock& clock_;
    NullLinkTrace noTrace_;
    TracingSerialPort tracedPort_;
    LinkChannel channel_;
    PortDiscovery discovery_;
    BlockProtocol blocks_;
    PacketProtocol packets_;
};

}  // namespace orvalink
