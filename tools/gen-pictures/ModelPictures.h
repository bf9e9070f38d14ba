// The five JPEG pictures of model.dll: the splash of each branding and the
// model picker's two pictures of the remote.
//
//   splash-1700.jpg   400 x 300   no marker file: Orvalink for the QM-5100
//   splash-1701.jpg   400 x 300   "arvell": Arvell Relaydeck N55
//   splash-1702.jpg   400 x 300   "tavero": TAVERO QM-5100
//   picker-2000.jpg   190 x 250   the QM-5100
//   picker-2001.jpg   190 x 250   the Relaydeck N55
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tools/gen-pictures/RemoteDrawing.h"
#include "tools/gen-pictures/RgbCanvas.h"
#include "tools/gen-pictures/Typeface.h"

namespace orvalink::pictures {

inline constexpr int kSplashWidth = 400;
inline constexpr int kSplashHeight = 300;
inline constexpr int kPickerWidth = 190;
inline constexpr int kPickerHeight = 250;
inline constexpr int kJpegQuality = 92;

// DejaVu Sans and DejaVu Sans Bold (package fonts-dejavu-core).
struct PictureFonts {
    std::unique_ptr<Typeface> regular;
    std::unique_ptr<Typeface> bold;
    FontPair Pair() const { return {*regular, *bold}; }
};
bool OpenPictureFonts(const std::filesystem::path& folder, PictureFonts& fonts, std::string& error);

// 1700, 1701 or 1702.
RgbCanvas SplashPicture(int number, const FontPair& fonts);
// 2000 or 2001.
RgbCanvas PickerPicture(int number, const FontPair& fonts);

struct PictureFile {
    int number;             // the resource number in model.dll
    std::string name;       // the file name model.rc gives
    std::vector<uint8_t> jpeg;
};

// All five, in resource order; the same fonts always give the same bytes.
bool MakeModelPictures(const FontPair& fonts, std::vector<PictureFile>& out, std::string& error);

// Writes each file into `folder`, beside its place first and then renamed
// into it, so that no file is ever seen half written.
bool WritePictureFiles(const std::filesystem::path& folder, const std::vector<PictureFile>& files, std::string& error);

}  // namespace orvalink::pictures
