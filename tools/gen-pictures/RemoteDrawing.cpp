#include "tools/gen-pictures/RemoteDrawing.h"

namespace orvalink::pictures {

namespace {

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};

// Remote units (the remote at scale 1) to canvas pixels.
struct Frame {
    Point at;
    double s;
    double X(double u) const { return at.x + u * s; }
    double Y(double u) const { return at.y + u * s; }
    Point P(double x, double y) const { return {X(x), Y(y)}; }
    Box B(double x, double y, double w, double h) const { return {X(x), Y(y), w * s, h * s}; }
};

struct Painter {
    RgbCanvas& canvas;
    const FontPair& fonts;
    Frame f;

    // Text centred on x, its capitals centred on y.
    void Label(const Typeface& face, double x, double y, std::u32string_view text, double size, Rgb colour,
               double tracking = 0, double opacity = 1) {
        const double px = size * f.s;
        const double width = face.Advance(text, px, tracking * f.s);
        face.Draw(canvas, f.X(x) - width / 2, f.Y(y) + face.CapHeight(px) / 2, text, px, colour, tracking * f.s,
                  opacity);
    }

    // A raised key: soft shadow, face shaded from top to bottom, lit rim.
    void Key(double x, double y, double w, double h, double radius, Rgb top, Rgb bottom) {
        canvas.FillRoundRect(f.B(x + 0.4, y + 1.2, w, h), radius * f.s, Paint::Solid(kBlack, 0.55), 2.5 * f.s);
        canvas.FillRoundRect(f.B(x, y, w, h), radius * f.s, Paint::Vertical(top, f.Y(y), bottom, f.Y(y + h)));
        canvas.StrokeRoundRect(f.B(x + 0.5, y + 0.5, w - 1, h - 1), (radius - 0.5) * f.s, 0.7 * f.s,
                               Paint::Vertical(kWhite, f.Y(y), kWhite, f.Y(y + h * 0.6), 0.22));
    }

    void Plus(double cx, double cy, Rgb ink) {
        canvas.StrokeLine(f.P(cx - 3.5, cy), f.P(cx + 3.5, cy), 1.6 * f.s, Paint::Solid(ink));
        canvas.StrokeLine(f.P(cx, cy - 3.5), f.P(cx, cy + 3.5), 1.6 * f.s, Paint::Solid(ink));
    }
    void Minus(double cx, double cy, Rgb ink) {
        canvas.StrokeLine(f.P(cx - 3.5, cy), f.P(cx + 3.5, cy), 1.6 * f.s, Paint::Solid(ink));
    }

    void Body(const RemoteStyle& st) {
        const Box body = f.B(0, 0, kRemoteWidth, kRemoteHeight);
        canvas.FillRoundRect(f.B(3, 6, kRemoteWidth, kRemoteHeight), st.corner * f.s, Paint::Solid(kBlack, 0.5),
                             12 * f.s);
        canvas.FillRoundRect(body, st.corner * f.s, Paint::Vertical(st.bodyTop, body.y, st.bodyBottom, body.y + body.h));
        // A sheen down the left side, as on a gently curved case.
        canvas.FillRoundRect(f.B(8, 10, 26, kRemoteHeight - 20), 13 * f.s, Paint::Solid(kWhite, 0.07), 14 * f.s);
        canvas.StrokeRoundRect(f.B(0.8, 0.8, kRemoteWidth - 1.6, kRemoteHeight - 1.6), (st.corner - 0.8) * f.s,
                               1.1 * f.s, Paint::Vertical(st.rim, body.y, st.bodyBottom, body.y + body.h, 0.8));
        // The IR window at the nose.
        canvas.FillRoundRect(f.B(38, 3.5, 36, 5), 2.5 * f.s, Paint::Vertical(Hex(0x4a161b), f.Y(3.5), Hex(0x140506), f.Y(8.5)));
    }

    void Power(const RemoteStyle& st) {
        const Point c = f.P(20, 21);
        const double r = 8.5 * f.s;
        canvas.FillEllipse(f.P(20.4, 22.2), r, r, Paint::Solid(kBlack, 0.55), 2.5 * f.s);
        canvas.FillEllipse(c, r, r, Paint::Vertical(st.powerTop, c.y - r, st.powerBottom, c.y + r));
        canvas.StrokeArc(c, r - 0.6 * f.s, 30, 160, 0.7 * f.s, Paint::Solid(kWhite, 0.3));
        // The power sign: an open ring and a bar through its gap.
        canvas.StrokeArc(f.P(20, 21.6), 3.8 * f.s, 125, 415, 1.5 * f.s, Paint::Solid(kWhite));
        canvas.StrokeLine(f.P(20, 16.0), f.P(20, 21.0), 1.5 * f.s, Paint::Solid(kWhite));
    }

    void Screen(const RemoteStyle& st) {
        canvas.FillRoundRect(f.B(8, 33, 96, 124), 7 * f.s, Paint::Vertical(Mix(st.bezel, kWhite, 0.12), f.Y(33), st.bezel, f.Y(157)));
        const Box glass = f.B(13, 38, 86, 114);
        canvas.FillRoundRect(glass, 2.5 * f.s, Paint::Vertical(st.screenTop, glass.y, st.screenBottom, glass.y + glass.h));
        const Rgb ink = st.screenInk;

        // Status line: the device on the left, the clock on the right.
        fonts.bold.Draw(canvas, f.X(17), f.Y(47.5), st.device, 7.5 * f.s, ink);
        const std::u32string clock = U"12:00";
        const double clockWidth = fonts.regular.Advance(clock, 6.5 * f.s);
        fonts.regular.Draw(canvas, f.X(95) - clockWidth, f.Y(47.5), clock, 6.5 * f.s, ink);
        canvas.StrokeLine(f.P(16, 51), f.P(96, 51), 0.6 * f.s, Paint::Solid(ink, 0.55));

        // Soft keys in two columns.
        for (int i = 0; i < 8; ++i) {
            const double x = i % 2 == 0 ? 16.5 : 56.5, y = 55 + 19 * (i / 2), w = 39, h = 15;
            canvas.FillRoundRect(f.B(x, y, w, h), 3 * f.s, Paint::Solid(ink, 0.08));
            canvas.StrokeRoundRect(f.B(x, y, w, h), 3 * f.s, 0.8 * f.s, Paint::Solid(ink, 0.8));
            Label(fonts.regular, x + w / 2, y + h / 2, st.softKeys[size_t(i)], 7, ink);
        }

        // Page arrows and the eight page dots, the first page shown.
        canvas.FillConvex({f.P(17, 140), f.P(22, 136.5), f.P(22, 143.5)}, Paint::Solid(ink, 0.85));
        canvas.FillConvex({f.P(95, 140), f.P(90, 136.5), f.P(90, 143.5)}, Paint::Solid(ink, 0.85));
        for (int i = 0; i < 8; ++i)
            canvas.FillEllipse(f.P(31.5 + 7 * i, 140), 1.7 * f.s, 1.7 * f.s, Paint::Solid(ink, i == 0 ? 0.9 : 0.3));

        // Light falling on the glass.
        canvas.FillConvex({f.P(13.5, 38.5), f.P(70, 38.5), f.P(13.5, 95)}, Paint::Solid(kWhite, 0.10));
    }

    void HardKeys(const RemoteStyle& st) {
        const double top = 164, height = 52, width = 24;
        for (double x : {9.0, 79.0}) {
            const bool volume = x < 50;
            Key(x, top, width, height, st.rockerCorner, st.keyTop, st.keyBottom);
            const double cx = x + width / 2;
            Plus(cx, top + 10, st.keyInk);
            Minus(cx, top + height - 10, st.keyInk);
            Label(fonts.bold, cx, top + height / 2, volume ? U"VOL" : U"CH", 5.5, st.keyInk, 0.3, 0.85);
        }
        // Mute between the rockers, its name printed below it.
        const double mx = 56, my = 178, r = 10;
        Key(mx - r, my - r, 2 * r, 2 * r, r * (st.rockerCorner >= 12 ? 1.0 : 0.45), st.keyTop, st.keyBottom);
        const Paint ink = Paint::Solid(st.keyInk);
        canvas.FillRoundRect(f.B(49.6, 175.6, 3.2, 4.8), 0.5 * f.s, ink);
        canvas.FillConvex({f.P(52.4, 175.8), f.P(56.2, 172.6), f.P(56.2, 183.4), f.P(52.4, 180.2)}, ink);
        canvas.StrokeLine(f.P(58.4, 175.6), f.P(62.4, 180.4), 1.3 * f.s, ink);
        canvas.StrokeLine(f.P(58.4, 180.4), f.P(62.4, 175.6), 1.3 * f.s, ink);
        Label(fonts.bold, mx, 197, U"MUTE", 5.5, st.printed, 0.3, 0.9);
    }

    void Names(const RemoteStyle& st) {
        Label(fonts.bold, 67, 21, st.brand, 9, st.printed, st.brandTracking);
        Label(fonts.bold, 56, 227, st.model, 7, st.printed, 0.2, 0.9);
    }
};

}  // namespace

RemoteStyle Qm5100Style() {
    RemoteStyle s;
    s.corner = 22;
    s.rockerCorner = 12;
    s.bodyTop = Hex(0x4d545e);
    s.bodyBottom = Hex(0x1b1f24);
    s.rim = Hex(0x9aa3ae);
    s.printed = Hex(0xcdd5de);
    s.bezel = Hex(0x0c0e11);
    s.screenTop = Hex(0xd6efe7);
    s.screenBottom = Hex(0xa3cdc0);
    s.screenInk = Hex(0x14332c);
    s.keyTop = Hex(0x6e7681);
    s.keyBottom = Hex(0x3c424a);
    s.keyInk = Hex(0xf3f6f9);
    s.powerTop = Hex(0xf2554a);
    s.powerBottom = Hex(0xa11b14);
    s.brand = U"TAVERO";
    s.brandTracking = 1.2;
    s.model = U"QM-5100";
    s.device = U"TV";
    s.softKeys = {U"Menu", U"Guide", U"Info", U"Exit", U"Input", U"Text", U"Fav", U"Sleep"};
    return s;
}

RemoteStyle RelaydeckN55Style() {
    RemoteStyle s;
    s.corner = 12;
    s.rockerCorner = 5;
    s.bodyTop = Hex(0xf1f3f6);
    s.bodyBottom = Hex(0xa3a9b2);
    s.rim = Hex(0xffffff);
    s.printed = Hex(0x353a42);
    s.bezel = Hex(0x22252a);
    s.screenTop = Hex(0xe1ecf8);
    s.screenBottom = Hex(0xafc5e2);
    s.screenInk = Hex(0x132849);
    s.keyTop = Hex(0x50555e);
    s.keyBottom = Hex(0x26292e);
    s.keyInk = Hex(0xffffff);
    s.powerTop = Hex(0xff9248);
    s.powerBottom = Hex(0xcf4b14);
    s.brand = U"Arvell";
    s.model = U"Relaydeck N55";
    s.device = U"DVD";
    s.softKeys = {U"Menu", U"Title", U"Audio", U"Subtitle", U"Zoom", U"Angle", U"Setup", U"Eject"};
    return s;
}

void DrawRemote(RgbCanvas& canvas, const FontPair& fonts, const RemoteStyle& style, Point at, double scale) {
    Painter p{canvas, fonts, Frame{at, scale}};
    p.Body(style);
    p.Power(style);
    p.Screen(style);
    p.HardKeys(style);
    p.Names(style);
}

}  // namespace orvalink::pictures
