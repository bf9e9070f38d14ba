#include "tools/gen-pictures/ModelPictures.h"

#include <algorithm>
#include <fstream>
#include <system_error>

#include "tools/gen-pictures/JpegFile.h"

namespace orvalink::pictures {

namespace {

// What tells the three splash pictures apart.
struct SplashLook {
    Rgb top, bottom, glow, accent, title, text, faint;
    std::u32string wordmark;
    double wordmarkTracking = 0;
    std::u32string product;
    std::u32string line1, line2;
    RemoteStyle remote;
};

SplashLook LookOf(int number) {
    SplashLook look;
    if (number == 1701) {
        look.top = Hex(0x3b2a30);
        look.bottom = Hex(0x120c0e);
        look.glow = Hex(0xb8672c);
        look.accent = Hex(0xf4aa46);
        look.title = Hex(0xfff8ef);
        look.text = Hex(0xe0cdbd);
        look.faint = Hex(0xa8927f);
        look.wordmark = U"Arvell";
        look.product = U"Relaydeck N55";
        look.line1 = U"Programmable learning";
        look.line2 = U"remote control";
        look.remote = RelaydeckN55Style();
        return look;
    }
    look.top = Hex(0x12375f);
    look.bottom = Hex(0x061629);
    look.glow = Hex(0x2f83c6);
    look.accent = Hex(0x4fc6f2);
    look.title = Hex(0xffffff);
    look.text = Hex(0xc0d3e6);
    look.faint = Hex(0x8ea9c6);
    look.product = U"QM-5100";
    look.remote = Qm5100Style();
    if (number == 1702) {
        look.wordmark = U"TAVERO";
        look.wordmarkTracking = 4;
        look.line1 = U"Programmable learning";
        look.line2 = U"remote control";
    } else {
        look.wordmark = U"Orvalink";
        look.line1 = U"Companion program for";
        look.line2 = U"Tavero remote controls";
    }
    return look;
}

// `size`, made smaller where the text would be wider than `width`.
double Fit(const Typeface& face, std::u32string_view text, double size, double tracking, double width) {
    const double advance = face.Advance(text, size, tracking);
    return advance > width ? size * width / advance : size;
}

}  // namespace

bool OpenPictureFonts(const std::filesystem::path& folder, PictureFonts& fonts, std::string& error) {
    PictureFonts opened;
    opened.regular = Typeface::Open(folder / "DejaVuSans.ttf", error);
    if (!opened.regular) return false;
    opened.bold = Typeface::Open(folder / "DejaVuSans-Bold.ttf", error);
    if (!opened.bold) return false;
    fonts = std::move(opened);
    return true;
}

RgbCanvas SplashPicture(int number, const FontPair& fonts) {
    const SplashLook look = LookOf(number);
    RgbCanvas c(kSplashWidth, kSplashHeight, look.bottom);
    c.FillRoundRect({0, 0, kSplashWidth, kSplashHeight}, 0, Paint::Vertical(look.top, 0, look.bottom, kSplashHeight));

    // The remote on the right, rising from the bottom edge, in a glow of
    // light, sending from its nose.
    const double scale = 1.12;
    const Point remote{kSplashWidth - 26 - kRemoteWidth * scale, 50};
    c.FillEllipse({remote.x + 60, 170}, 165, 150, Paint::Solid(look.glow, 0.35), 170);
    const Point nose{remote.x + kRemoteWidth * scale / 2, remote.y + 4};
    const double waveOpacity[] = {0.95, 0.65, 0.35};
    for (int i = 0; i < 3; ++i)
        c.StrokeArc(nose, 13 + 10 * i, 58, 122, 2.4, Paint::Solid(look.accent, waveOpacity[i]));
    DrawRemote(c, fonts, look.remote, remote, scale);

    // The words on the left. The top left corner stays plain: the splash
    // window lays its own labels over it.
    const double left = 28, width = remote.x - left - 14;
    const double titleSize = Fit(fonts.bold, look.wordmark, 46, look.wordmarkTracking, width);
    fonts.bold.Draw(c, left, 118, look.wordmark, titleSize, look.title, look.wordmarkTracking);
    c.FillRoundRect({left + 1, 132, 44, 3.5}, 1.75, Paint::Solid(look.accent));
    const double productSize = Fit(fonts.bold, look.product, 27, 0, width);
    fonts.bold.Draw(c, left, 172, look.product, productSize, look.accent);
    fonts.regular.Draw(c, left, 200, look.line1, 13, look.text);
    fonts.regular.Draw(c, left, 218, look.line2, 13, look.text);
    fonts.regular.Draw(c, left, 274, U"Ver 0.9.02", 12, look.faint);
    return c;
}

RgbCanvas PickerPicture(int number, const FontPair& fonts) {
    RgbCanvas c(kPickerWidth, kPickerHeight, Hex(0xffffff));
    c.FillRoundRect({0, 0, kPickerWidth, kPickerHeight}, 0,
                    Paint::Vertical(Hex(0xf7f9fb), 0, Hex(0xd3d9e0), kPickerHeight));
    const RemoteStyle style = number == 2001 ? RelaydeckN55Style() : Qm5100Style();
    DrawRemote(c, fonts, style, {(kPickerWidth - kRemoteWidth) / 2, 6}, 1.0);
    return c;
}

bool MakeModelPictures(const FontPair& fonts, std::vector<PictureFile>& out, std::string& error) {
    std::vector<PictureFile> files;
    for (int number : {1700, 1701, 1702, 2000, 2001}) {
        const bool splash = number < 2000;
        PictureFile file{number, (splash ? "splash-" : "picker-") + std::to_string(number) + ".jpg", {}};
        const RgbCanvas picture = splash ? SplashPicture(number, fonts) : PickerPicture(number, fonts);
        if (!EncodeJpeg(picture, kJpegQuality, file.jpeg, error)) return false;
        files.push_back(std::move(file));
    }
    out = std::move(files);
    return true;
}

bool WritePictureFiles(const std::filesystem::path& folder, const std::vector<PictureFile>& files, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        error = "cannot make the folder " + folder.string();
        return false;
    }
    for (const PictureFile& file : files) {
        const std::filesystem::path path = folder / file.name;
        std::filesystem::path part = path;
        part += ".part";
        {
            std::ofstream stream(part, std::ios::binary | std::ios::trunc);
            stream.write(reinterpret_cast<const char*>(file.jpeg.data()), std::streamsize(file.jpeg.size()));
            stream.close();
            if (!stream) {
                std::filesystem::remove(part, ec);
                error = "cannot write " + part.string();
                return false;
            }
        }
        std::filesystem::rename(part, path, ec);
        if (ec) {
            std::filesystem::remove(part, ec);
            error = "cannot put " + path.string() + " in place";
            return false;
        }
    }
    return true;
}

}  // namespace orvalink::pictures
