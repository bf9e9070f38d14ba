// The remote control as the splash and the model picker show it, seen from
// the front: body, LCD touch screen with soft-key labels, and the hard keys
// Power, Mute, Vol + / - and Ch + / -.
#pragma once

#include <array>
#include <string>

#include "tools/gen-pictures/RgbCanvas.h"
#include "tools/gen-pictures/Typeface.h"

namespace orvalink::pictures {

struct FontPair {
    const Typeface& regular;
    const Typeface& bold;
};

// The remote's size at scale 1, in pixels.
inline constexpr double kRemoteWidth = 112;
inline constexpr double kRemoteHeight = 236;

struct RemoteStyle {
    double corner = 22;              // the body's corner radius
    double rockerCorner = 12;        // 12 makes the Vol and Ch rockers fully round
    Rgb bodyTop, bodyBottom, rim;    // body colours; `rim` lights its edge
    Rgb printed;                     // names printed on the body
    Rgb bezel;                       // the frame around the screen
    Rgb screenTop, screenBottom, screenInk;
    Rgb keyTop, keyBottom, keyInk;
    Rgb powerTop, powerBottom;
    std::u32string brand;            // printed above the screen
    double brandTracking = 0;
    std::u32string model;            // printed below the keys
    std::u32string device;           // the device the screen shows
    std::array<std::u32string, 8> softKeys;  // two columns, top row first
};

RemoteStyle Qm5100Style();
RemoteStyle RelaydeckN55Style();

// Draws the remote with its top left corner at `at`, `scale` times its size,
// and its shadow below and to the right.
void DrawRemote(RgbCanvas& canvas, const FontPair& fonts, const RemoteStyle& style, Point at, double scale);

}  // namespace orvalink::pictures
