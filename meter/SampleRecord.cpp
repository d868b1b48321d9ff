#include "SampleRecord.h"

#include <QByteArrayView>
#include <QStringDecoder>

namespace tirevo {

namespace {

constexpr unsigned char kFirstNonAscii = 0x80;

}  // namespace

std::string Latin1ToUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < kFirstNonAscii) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

std::vector<std::string> SampleFields(const SampleRow& row)
{
    return {row.time, RecordFile::GuardedText(row.name), row.readingText, row.stable ? "yes" : "no",
            RecordFile::GuardedText(Latin1ToUtf8(row.serial))};
}

std::optional<std::string> SampleNameRefusal(std::string_view name)
{
    if (name.find_first_of("\r\n") != std::string_view::npos)
        return "A sample name cannot contain a line break";
    return std::nullopt;
}

std::optional<std::string> SampleNameEncodingRefusal(std::string_view name)
{
    // Stateless: a sequence cut off at the end is an error too, not one
    // waiting for its next byte.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    [[maybe_unused]] const QString decoded =
        decoder.decode(QByteArrayView(name.data(), static_cast<qsizetype>(name.size())));
    if (decoder.hasError())
        return "A sample name must be UTF-8 text";
    return std::nullopt;
}

std::string NextSampleName(std::string_view last)
{
    std::size_t digits = last.size();
    while (digits > 0 && last[digits - 1] >= '0' && last[digits - 1] <= '9')
        --digits;
    if (digits == last.size())
        return std::string(last);
    std::string number(last.substr(digits));
    // Decimal addition on the text itself: any length, padding kept.
    std::size_t i = number.size();
    while (i > 0) {
        --i;
        if (number[i] != '9') {
            ++number[i];
            return std::string(last.substr(0, digits)) + number;
        }
        number[i] = '0';
    }
    return std::string(last.substr(0, digits)) + "1" + number;
}

RecordFile SamplesFile(const std::string& folder, bool createFolder)
{
    return RecordFile(folder, kSamplesFileName, kSamplesHeader, createFolder);
}

}  // namespace tirevo
