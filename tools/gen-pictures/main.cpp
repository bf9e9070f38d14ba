// orvalink-gen-pictures: draws the pictures of model.dll and writes them as
// JPEG files.
//
//   orvalink-gen-pictures --fonts DIR --out DIR
//
// fonts: the folder of DejaVuSans.ttf and DejaVuSans-Bold.ttf
// out:   gets splash-1700.jpg, splash-1701.jpg, splash-1702.jpg,
//        picker-2000.jpg and picker-2001.jpg
//
// Nothing is written unless every picture could be made.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/gen-pictures/ModelPictures.h"

int main(int argc, char** argv) {
    std::filesystem::path fonts, out;
    bool usable = argc % 2 == 1;
    for (int i = 1; usable && i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--fonts") fonts = argv[i + 1];
        else if (option == "--out") out = argv[i + 1];
        else usable = false;
    }
    if (!usable || fonts.empty() || out.empty()) {
        std::fprintf(stderr, "usage: orvalink-gen-pictures --fonts DIR --out DIR\n");
        return 2;
    }
    namespace p = orvalink::pictures;
    p::PictureFonts faces;
    std::vector<p::PictureFile> files;
    std::string error;
    if (!p::OpenPictureFonts(fonts, faces, error) || !p::MakeModelPictures(faces.Pair(), files, error) ||
        !p::WritePictureFiles(out, files, error)) {
        std::fprintf(stderr, "orvalink-gen-pictures: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
