// Decoding of JPEG data with libjpeg's own API.
#pragma once

#include <QByteArray>
#include <QImage>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tirevo {

struct DecodedJpeg {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // width * height * 3 bytes
};

// Returns false, without ever ending the process, when the data is not a
// complete image libjpeg can read.
bool DecodeJpeg(const uint8_t* data, std::size_t size, DecodedJpeg& out);

// An empty image when the data cannot be decoded.
QImage JpegToImage(const QByteArray& data);

}  // namespace tirevo
