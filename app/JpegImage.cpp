#include "JpegImage.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace tirevo {

namespace {

// libjpeg's default error handler calls exit(); ours jumps back instead.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf back;
};

[[noreturn]] void OnJpegError(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->back, 1);
}

void OnJpegMessage(j_common_ptr) {}

// Kept free of objects with destructors between setjmp and longjmp.
bool decode(const uint8_t* data, std::size_t size, DecodedJpeg& out)
{
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.base);
    err.base.error_exit = OnJpegError;
    err.base.output_message = OnJpegMessage;
    if (setjmp(err.back)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    // A logo is small; refuse absurd dimensions rather than allocate them.
    if (cinfo.output_width == 0 || cinfo.output_height == 0 || cinfo.output_width > 4096 ||
        cinfo.output_height > 4096 || cinfo.output_components != 3) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    out.width = static_cast<int>(cinfo.output_width);
    out.height = static_cast<int>(cinfo.output_height);
    out.rgb.resize(static_cast<std::size_t>(out.width) * out.height * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out.rgb.data() + static_cast<std::size_t>(cinfo.output_scanline) * out.width * 3;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    // libjpeg pads truncated or corrupt data with grey and only warns: such a
    // picture is broken too.
    const bool clean = err.base.num_warnings == 0;
    jpeg_destroy_decompress(&cinfo);
    return clean;
}

}  // namespace

bool DecodeJpeg(const uint8_t* data, std::size_t size, DecodedJpeg& out)
{
    out = DecodedJpeg{};
    if (!data || size == 0)
        return false;
    const bool ok = decode(data, size, out);
    if (!ok)
        out = DecodedJpeg{};
    return ok;
}

QImage JpegToImage(const QByteArray& data)
{
    DecodedJpeg decoded;
    if (!DecodeJpeg(reinterpret_cast<const uint8_t*>(data.constData()), static_cast<std::size_t>(data.size()),
                    decoded))
        return QImage();
    QImage image(decoded.width, decoded.height, QImage::Format_RGB888);
    for (int y = 0; y < decoded.height; ++y)
        std::copy_n(decoded.rgb.data() + static_cast<std::size_t>(y) * decoded.width * 3, decoded.width * 3,
                    image.scanLine(y));
    return image;
}

}  // namespace tirevo
