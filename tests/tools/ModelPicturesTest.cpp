// The pictures of model.dll: what the build made, how the generator writes
// them, and the drawing, lettering and JPEG layers they are made with.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "tests/support/Process.h"
#include "tools/gen-pictures/JpegFile.h"
#include "tools/gen-pictures/ModelPictures.h"

namespace orvalink::testing {
namespace {

namespace fs = std::filesystem;
using namespace orvalink::pictures;
using Bytes = std::vector<uint8_t>;

Bytes FileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

struct Decoded {
    int width = 0, height = 0, components = 0;
    Bytes rgb;
    Rgb At(int x, int y) const {
        const uint8_t* p = &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3];
        return {p[0], p[1], p[2]};
    }
};

struct DecodeErrors {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

// The picture as any JPEG reader sees it (libjpeg, converted to RGB); false
// for data libjpeg refuses.
bool Decode(const Bytes& bytes, Decoded& out) {
    jpeg_decompress_struct info;
    DecodeErrors errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = [](j_common_ptr i) { std::longjmp(reinterpret_cast<DecodeErrors*>(i->err)->jump, 1); };
    errors.base.output_message = [](j_common_ptr) {};
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), (unsigned long)bytes.size());
    jpeg_read_header(&info, TRUE);
    out.components = info.num_components;
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    out.width = int(info.output_width);
    out.height = int(info.output_height);
    out.rgb.assign(size_t(out.width) * size_t(out.height) * 3, 0);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out.rgb.data() + size_t(info.output_scanline) * size_t(out.width) * 3;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

double Luma(Rgb c) { return 0.299 * c.r + 0.587 * c.g + 0.114 * c.b; }

int ChannelDistance(Rgb a, Rgb b) { return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)}); }

struct Expected {
    int number;
    const char* name;
    int width, height;
};
constexpr Expected kPictures[] = {{1700, "splash-1700.jpg", 400, 300}, {1701, "splash-1701.jpg", 400, 300},
                                  {1702, "splash-1702.jpg", 400, 300}, {2000, "picker-2000.jpg", 190, 250},
                                  {2001, "picker-2001.jpg", 190, 250}};

PictureFonts Fonts() {
    PictureFonts fonts;
    std::string error;
    EXPECT_TRUE(OpenPictureFonts(ORVALINK_DEJAVU_FONT_DIR, fonts, error)) << error;
    return fonts;
}

TEST(ModelPictureFiles, EachBuiltPictureDecodesAtItsSizeAndIsNoFlatColour) {
    std::map<int, Decoded> decoded;
    for (const Expected& e : kPictures) {
        Decoded d;
        ASSERT_TRUE(Decode(FileBytes(fs::path(ORVALINK_MODEL_PICTURE_DIR) / e.name), d)) << e.name;
        EXPECT_EQ(d.width, e.width) << e.name;
        EXPECT_EQ(d.height, e.height) << e.name;
        EXPECT_EQ(d.components, 3) << e.name;
        double low = 255, high = 0, sum = 0, squares = 0;
        for (int y = 0; y < d.height; ++y)
            for (int x = 0; x < d.width; ++x) {
                const double l = Luma(d.At(x, y));
                low = std::min(low, l), high = std::max(high, l), sum += l, squares += l * l;
            }
        const double n = double(d.width) * d.height, mean = sum / n;
        EXPECT_GT(high - low, 150) << e.name << ": no dark ink on light or light on dark";
        EXPECT_GT(std::sqrt(squares / n - mean * mean), 20) << e.name;
        decoded[e.number] = std::move(d);
    }
    // Each branding and each remote has a picture of its own.
    auto differingShare = [&](int a, int b) {
        const Decoded &p = decoded.at(a), &q = decoded.at(b);
        size_t differing = 0;
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) differing += ChannelDistance(p.At(x, y), q.At(x, y)) > 60;
        return double(differing) / (double(p.width) * p.height);
    };
    EXPECT_GT(differingShare(1700, 1702), 0.02);  // same look, other words
    EXPECT_GT(differingShare(1700, 1701), 0.2);
    EXPECT_GT(differingShare(1701, 1702), 0.2);
    EXPECT_GT(differingShare(2000, 2001), 0.2);
}

TEST(ModelPictureFiles, BuiltFilesAreTheGeneratorsSameBytesUnderTheNamesOfModelRc) {
    const PictureFonts fonts = Fonts();
    std::vector<PictureFile> first, second;
    std::string error;
    ASSERT_TRUE(MakeModelPictures(fonts.Pair(), first, error)) << error;
    ASSERT_TRUE(MakeModelPictures(fonts.Pair(), second, error)) << error;

    std::ifstream rc(fs::path(ORVALINK_ASSETS_DIR) / "model.rc");
    std::map<int, std::string> named;
    const std::regex line(R"(^\s*(\d+)\s+RCDATA\s+"pictures/([^"]+)\")");
    for (std::string text; std::getline(rc, text);)
        if (std::smatch m; std::regex_search(text, m, line)) named[std::stoi(m[1])] = m[2];

    ASSERT_EQ(first.size(), std::size(kPictures));
    ASSERT_EQ(named.size(), std::size(kPictures));
    for (size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(first[i].number, kPictures[i].number);
        EXPECT_EQ(first[i].name, named[first[i].number]) << first[i].number;
        EXPECT_EQ(first[i].jpeg, second[i].jpeg) << first[i].name;
        EXPECT_EQ(first[i].jpeg, FileBytes(fs::path(ORVALINK_MODEL_PICTURE_DIR) / first[i].name)) << first[i].name;
    }
}

class PictureGeneratorRun : public ::testing::Test {
protected:
    void SetUp() override {
        scratch = fs::temp_directory_path() / ("orvalink-pictures-" + std::to_string(::getpid()));
        fs::remove_all(scratch);
        fs::create_directories(scratch);
    }
    void TearDown() override { fs::remove_all(scratch); }
    ProcessResult Run(std::vector<std::string> args) {
        args.insert(args.begin(), ORVALINK_GEN_PICTURES_PROGRAM);
        return RunProcess(args, scratch);
    }
    size_t FilesIn(const fs::path& folder) {
        std::error_code ec;
        if (!fs::exists(folder, ec)) return 0;
        return size_t(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
    }
    fs::path scratch;
};

TEST_F(PictureGeneratorRun, WritesAllFivePicturesOrNone) {
    const fs::path out = scratch / "model" / "pictures";
    auto bad = Run({"--fonts", (scratch / "no-fonts").string(), "--out", out.string()});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.err.find("DejaVuSans"), std::string::npos) << bad.err;
    EXPECT_EQ(FilesIn(out), 0u);
    EXPECT_EQ(Run({"--fonts", ORVALINK_DEJAVU_FONT_DIR}).exitCode, 2);
    EXPECT_EQ(Run({"--out", out.string(), "--colour", "red"}).exitCode, 2);
    EXPECT_EQ(FilesIn(out), 0u);

    // A stale, longer file in the way is replaced whole, by a new file: one
    // who holds the old one (here through a second link) keeps it intact.
    fs::create_directories(out);
    const std::string stale(200000, 'x');
    std::ofstream(out / "picker-2001.jpg", std::ios::binary) << stale;
    fs::create_hard_link(out / "picker-2001.jpg", scratch / "held.jpg");
    auto good = Run({"--fonts", ORVALINK_DEJAVU_FONT_DIR, "--out", out.string()});
    ASSERT_EQ(good.exitCode, 0) << good.err;
    EXPECT_EQ(FilesIn(out), std::size(kPictures));  // and no part-written file left beside them
    EXPECT_EQ(ReadWholeFile(scratch / "held.jpg"), stale);
    for (const Expected& e : kPictures)
        EXPECT_EQ(FileBytes(out / e.name), FileBytes(fs::path(ORVALINK_MODEL_PICTURE_DIR) / e.name)) << e.name;
}

TEST_F(PictureGeneratorRun, WritingIntoAFolderThatCannotBeMadeFails) {
    std::ofstream(scratch / "plain-file") << "not a folder";
    std::string error;
    EXPECT_FALSE(WritePictureFiles(scratch / "plain-file" / "pictures", {{1700, "splash-1700.jpg", {1, 2}}}, error));
    EXPECT_FALSE(error.empty());
}

TEST(PictureCanvas, FilledShapesCoverTheirAreaWithSoftenedEdges) {
    const Rgb white{255, 255, 255}, red{200, 0, 0};
    RgbCanvas c(40, 30, white);
    c.FillRoundRect({4, 5.5, 30, 15}, 5, Paint::Solid(red));
    EXPECT_EQ(ChannelDistance(c.At(19, 12), red), 0);
    EXPECT_EQ(ChannelDistance(c.At(4, 5), white), 0);   // cut off by the rounded corner
    EXPECT_EQ(ChannelDistance(c.At(19, 3), white), 0);  // above the top edge
    const Rgb edge = c.At(19, 5);                        // the top edge runs through this row's middle
    EXPECT_GT(edge.g, 80);
    EXPECT_LT(edge.g, 175);

    RgbCanvas shaded(10, 40, white);
    shaded.FillRoundRect({0, 0, 10, 40}, 0, Paint::Vertical(Rgb{0, 0, 0}, 0, white, 40));
    EXPECT_LT(shaded.At(5, 0).r, 10);
    EXPECT_GT(shaded.At(5, 39).r, 245);
    for (int y = 1; y < 40; ++y) EXPECT_GE(shaded.At(5, y).r, shaded.At(5, y - 1).r) << y;

    // Half opacity lands half way; a wide soft edge fades out gradually.
    RgbCanvas faint(20, 20, white);
    faint.FillEllipse({10, 10}, 4, 4, Paint::Solid(Rgb{0, 0, 0}, 0.5), 6);
    EXPECT_NEAR(faint.At(10, 10).r, 128, 2);
    EXPECT_GT(faint.At(15, 10).r, faint.At(13, 10).r);
    EXPECT_GT(faint.At(17, 10).r, faint.At(15, 10).r);
}

TEST(PictureCanvas, PolygonsOfEitherWindingAndArcsGoWhereTheirPointsSay) {
    const Rgb white{255, 255, 255}, ink{0, 0, 0};
    RgbCanvas clockwise(30, 30, white), counter(30, 30, white);
    clockwise.FillConvex({{3, 3}, {27, 3}, {3, 27}}, Paint::Solid(ink));
    counter.FillConvex({{3, 3}, {3, 27}, {27, 3}}, Paint::Solid(ink));
    EXPECT_EQ(clockwise.Pixels(), counter.Pixels());
    EXPECT_EQ(clockwise.At(8, 8).r, 0);
    EXPECT_EQ(clockwise.At(24, 24).r, 255);

    // Angles count counter-clockwise from three o'clock with y up: an arc
    // from 125 to 415 degrees leaves its gap at twelve o'clock.
    RgbCanvas sign(40, 40, white);
    sign.StrokeArc({20, 20}, 10, 125, 415, 2, Paint::Solid(ink));
    EXPECT_EQ(sign.At(20, 9).r, 255);   // twelve
    EXPECT_LT(sign.At(20, 30).r, 40);   // six
    EXPECT_LT(sign.At(9, 20).r, 40);    // nine
    EXPECT_LT(sign.At(30, 20).r, 40);   // three
    EXPECT_EQ(sign.At(20, 20).r, 255);  // the ring's inside
}

TEST(PictureCanvas, ShapesReachingPastTheBorderAreClipped) {
    RgbCanvas c(16, 12, Rgb{255, 255, 255});
    c.FillEllipse({-20, -20}, 40, 40, Paint::Solid(Rgb{0, 0, 255}));
    c.StrokeLine({-100, 6}, {1000, 6}, 3, Paint::Solid(Rgb{0, 255, 0}));
    c.FillRoundRect({-50, -50, 500, 500}, 30, Paint::Solid(Rgb{255, 0, 0}, 0.5), 20);
    c.FillConvex({{100, 100}, {120, 100}, {110, 130}}, Paint::Solid(Rgb{0, 0, 0}));
    c.Blend(-1, 0, Rgb{}, 1);
    c.Blend(16, 11, Rgb{}, 1);
    EXPECT_EQ(c.Pixels().size(), 16u * 12u * 3u);
    EXPECT_GT(c.At(0, 0).b, 100);  // the ellipse's edge passes the corner
    EXPECT_GT(c.At(8, 6).g, 100);
}

TEST(PictureText, TextSitsOnItsBaselineAndAdvancesAsMeasured) {
    const PictureFonts fonts = Fonts();
    const std::u32string text = U"Ver 0.9.02";
    RgbCanvas c(200, 60, Rgb{255, 255, 255});
    const double advance = fonts.bold->Draw(c, 10, 40, text, 20, Rgb{0, 0, 0});
    EXPECT_DOUBLE_EQ(advance, fonts.bold->Advance(text, 20));
    int left = 200, right = -1, top = 60, bottom = -1;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 200; ++x)
            if (c.At(x, y).r < 128) left = std::min(left, x), right = std::max(right, x), top = std::min(top, y),
                                    bottom = std::max(bottom, y);
    EXPECT_GE(left, 9);
    EXPECT_LE(left, 13);
    EXPECT_LE(right, 10 + advance);
    EXPECT_GT(right, 10 + advance * 0.85);
    EXPECT_EQ(bottom, 39);  // nothing in this text goes below the baseline
    EXPECT_NEAR(40 - top, fonts.bold->CapHeight(20), 1.5);

    EXPECT_NEAR(fonts.bold->Advance(text, 20, 3), advance + 3 * (text.size() - 1), 1e-9);
    EXPECT_NEAR(fonts.bold->Advance(text, 40), 2 * advance, 1.0);
    EXPECT_GT(fonts.bold->Advance(text, 20), fonts.regular->Advance(text, 20));
}

TEST(PictureText, PenMovesByFractionsOfAPixel) {
    const PictureFonts fonts = Fonts();
    auto inkCentre = [&](double x) {
        RgbCanvas c(60, 30, Rgb{255, 255, 255});
        fonts.regular->Draw(c, x, 22, U"l", 18, Rgb{0, 0, 0});
        double weight = 0, moment = 0;
        for (int y = 0; y < 30; ++y)
            for (int i = 0; i < 60; ++i) {
                const double ink = 255 - c.At(i, y).r;
                weight += ink, moment += ink * i;
            }
        return moment / weight;
    };
    const double whole = inkCentre(20);
    EXPECT_NEAR(inkCentre(20.5) - whole, 0.5, 0.2);
    EXPECT_NEAR(inkCentre(21) - whole, 1.0, 0.05);
}

TEST(PictureText, MissingOrNonOutlineFontIsRefused) {
    std::string error;
    EXPECT_EQ(Typeface::Open(fs::path(ORVALINK_DEJAVU_FONT_DIR) / "NoSuchFont.ttf", error), nullptr);
    EXPECT_NE(error.find("NoSuchFont.ttf"), std::string::npos);
    EXPECT_EQ(Typeface::Open(fs::path(ORVALINK_FIXED_FONT_DIR) / "6x10.pcf.gz", error), nullptr);
    EXPECT_NE(error.find("not an outline font"), std::string::npos) << error;
    PictureFonts fonts;
    EXPECT_FALSE(OpenPictureFonts(fs::path(ORVALINK_ASSETS_DIR), fonts, error));
    EXPECT_EQ(fonts.regular, nullptr);
}

TEST(PictureJpeg, EncodedCanvasDecodesBackToItsColoursAndSize) {
    const Rgb red{220, 30, 30}, blue{30, 60, 200}, green{40, 180, 60};
    RgbCanvas c(64, 40, red);
    c.FillRoundRect({32, 0, 32, 40}, 0, Paint::Solid(blue));
    c.FillRoundRect({0, 32, 64, 8}, 0, Paint::Solid(green));
    Bytes jpeg, again;
    std::string error;
    ASSERT_TRUE(EncodeJpeg(c, kJpegQuality, jpeg, error)) << error;
    ASSERT_TRUE(EncodeJpeg(c, kJpegQuality, again, error)) << error;
    EXPECT_EQ(jpeg, again);
    Decoded d;
    ASSERT_TRUE(Decode(jpeg, d));
    EXPECT_EQ(d.width, 64);
    EXPECT_EQ(d.height, 40);
    EXPECT_LE(ChannelDistance(d.At(10, 10), red), 12);
    EXPECT_LE(ChannelDistance(d.At(50, 10), blue), 12);
    EXPECT_LE(ChannelDistance(d.At(20, 37), green), 12);
    EXPECT_LE(ChannelDistance(d.At(50, 37), green), 12);

    Bytes untouched{9};
    EXPECT_FALSE(EncodeJpeg(RgbCanvas(0, 10, red), kJpegQuality, untouched, error));
    EXPECT_EQ(untouched, Bytes{9});
}

}  // namespace
}  // namespace orvalink::testing
