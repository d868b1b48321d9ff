// The logo decoder: good data decodes, anything else leaves the picture
// empty and the program running.
#include "JpegImage.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

using namespace tirevo;

namespace {

std::string Logo()
{
    std::ifstream in(TIREVO_LOGO_FILE, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

bool Decodes(const std::string& data)
{
    DecodedJpeg out;
    const bool ok = DecodeJpeg(reinterpret_cast<const uint8_t*>(data.data()), data.size(), out);
    EXPECT_EQ(ok, !out.rgb.empty());
    return ok;
}

TEST(JpegImage, TheLogoDecodes)
{
    const std::string data = Logo();
    DecodedJpeg out;
    ASSERT_TRUE(DecodeJpeg(reinterpret_cast<const uint8_t*>(data.data()), data.size(), out));
    EXPECT_EQ(out.width, 194);
    EXPECT_EQ(out.height, 82);
    EXPECT_EQ(out.rgb.size(), size_t(194 * 82 * 3));
    // The corner is the white background.
    EXPECT_GT(out.rgb[0], 240);
}

TEST(JpegImage, BrokenDataNeverEndsTheProgram)
{
    const std::string data = Logo();
    std::string flipped = data;
    for (size_t i = 20; i < flipped.size(); i += 7)
        flipped[i] = static_cast<char>(~flipped[i]);
    const std::string cases[] = {
        "",
        "not a picture at all",
        data.substr(0, 2),
        data.substr(0, data.size() / 3),
        std::string(data.begin(), data.begin() + 200) + std::string(5000, '\xff'),
    };
    for (const auto& c : cases)
        EXPECT_FALSE(Decodes(c));
    Decodes(flipped);  // may or may not decode; it must simply come back
    EXPECT_TRUE(JpegToImage(QByteArray("\xff\xd8\xff", 3)).isNull());
}

}  // namespace
