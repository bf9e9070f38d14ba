#include "tools/gen-pictures/JpegFile.h"

#include <csetjmp>
#include <cstdio>
#include <utility>

#include <jpeglib.h>

namespace orvalink::pictures {

namespace {

// libjpeg reports errors through error_exit, which must not return: it
// jumps back into EncodeInto with the message kept.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnError(j_common_ptr info) {
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    errors->base.format_message(info, errors->message);
    std::longjmp(errors->jump, 1);
}

// The compressed bytes go into a vector, a block at a time.
struct Destination {
    jpeg_destination_mgr base;
    std::vector<uint8_t>* out;
    JOCTET block[4096];
};

void StartDestination(j_compress_ptr info) {
    auto* d = reinterpret_cast<Destination*>(info->dest);
    d->base.next_output_byte = d->block;
    d->base.free_in_buffer = sizeof d->block;
}

boolean FlushBlock(j_compress_ptr info) {
    auto* d = reinterpret_cast<Destination*>(info->dest);
    d->out->insert(d->out->end(), d->block, d->block + sizeof d->block);
    d->base.next_output_byte = d->block;
    d->base.free_in_buffer = sizeof d->block;
    return TRUE;
}

void EndDestination(j_compress_ptr info) {
    auto* d = reinterpret_cast<Destination*>(info->dest);
    d->out->insert(d->out->end(), d->block, d->block + (sizeof d->block - d->base.free_in_buffer));
}

// Only plain C objects live here, so the jump back from OnError skips no
// destructor.
bool EncodeInto(const RgbCanvas& canvas, int quality, std::vector<uint8_t>& out, char* message) {
    jpeg_compress_struct info;
    ErrorManager errors;
    Destination destination;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = OnError;
    errors.message[0] = 0;
    if (setjmp(errors.jump)) {
        std::snprintf(message, JMSG_LENGTH_MAX, "%s", errors.message);
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    destination.base.init_destination = StartDestination;
    destination.base.empty_output_buffer = FlushBlock;
    destination.base.term_destination = EndDestination;
    destination.out = &out;
    info.dest = &destination.base;

    info.image_width = JDIMENSION(canvas.Width());
    info.image_height = JDIMENSION(canvas.Height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    info.dct_method = JDCT_ISLOW;
    info.optimize_coding = TRUE;
    for (int c = 0; c < info.num_components; ++c) {
        info.comp_info[c].h_samp_factor = 1;
        info.comp_info[c].v_samp_factor = 1;
    }
    jpeg_start_compress(&info, TRUE);
    const uint8_t* pixels = canvas.Pixels().data();
    const size_t stride = size_t(canvas.Width()) * 3;
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels + stride * info.next_scanline);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

}  // namespace

bool EncodeJpeg(const RgbCanvas& canvas, int quality, std::vector<uint8_t>& out, std::string& error) {
    if (canvas.Width() <= 0 || canvas.Height() <= 0) {
        error = "an empty picture cannot be written as JPEG";
        return false;
    }
    std::vector<uint8_t> bytes;
    char message[JMSG_LENGTH_MAX] = {};
    if (!EncodeInto(canvas, quality, bytes, message)) {
        error = std::string("libjpeg: ") + message;
        return false;
    }
    out = std::move(bytes);
    return true;
}

}  // namespace orvalink::pictures
