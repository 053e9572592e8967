#include "EmfWriter.h"

#include <cstring>

EmfWriter::EmfWriter(int frameWidth, int frameHeight) : frameWidth_(frameWidth), frameHeight_(frameHeight) {}

std::string EmfWriter::Word(int64_t value) {
    const auto v = static_cast<uint32_t>(value);
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
            static_cast<char>(v >> 24)};
}

std::string EmfWriter::Short(int value) {
    const auto v = static_cast<uint16_t>(value);
    return {static_cast<char>(v), static_cast<char>(v >> 8)};
}

std::string EmfWriter::Float(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return Word(bits);
}

std::string EmfWriter::Utf16(const std::u16string& text) {
    std::string bytes;
    for (char16_t c : text) {
        bytes += Short(c);
    }
    return bytes;
}

EmfWriter& EmfWriter::Record(uint32_t type, std::initializer_list<int64_t> words) {
    std::string body;
    for (int64_t word : words) {
        body += Word(word);
    }
    return Raw(type, body);
}

EmfWriter& EmfWriter::Raw(uint32_t type, const std::string& body) {
    std::string padded = body;
    padded.resize((padded.size() + 3) / 4 * 4, '\0');
    records_ += Word(type) + Word(static_cast<int64_t>(8 + padded.size())) + padded;
    ++count_;
    return *this;
}

EmfWriter& EmfWriter::EmfPlus(const std::vector<std::string>& records) {
    std::string data = Word(0x2B464D45); // "EMF+"
    for (const std::string& record : records) {
        data += record;
    }
    return Raw(70, Word(static_cast<int64_t>(data.size())) + data);
}

std::string EmfWriter::PlusRecord(uint16_t type, uint16_t flags, const std::string& data) {
    std::string padded = data;
    padded.resize((padded.size() + 3) / 4 * 4, '\0');
    return Short(type) + Short(flags) + Word(static_cast<int64_t>(12 + padded.size())) +
           Word(static_cast<int64_t>(padded.size())) + padded;
}

std::string EmfWriter::BitmapInfo(int width, int height, int bitCount, const std::vector<uint32_t>& palette) {
    std::string info = Word(40) + Word(width) + Word(height) + Short(1) + Short(bitCount) + Word(0) +
                       Word(0) + Word(3780) + Word(3780) + Word(static_cast<int64_t>(palette.size())) +
                       Word(0);
    for (uint32_t rgb : palette) {
        info += Word(rgb); // RGBQUAD: blue, green, red, reserved
    }
    return info;
}

std::string EmfWriter::Bytes() const {
    const std::string eof = Word(14) + Word(20) + Word(0) + Word(16) + Word(20);
    // The reference device: 1000 x 1000 pixels on 254 x 254 mm, 100 pixels an inch.
    const int devicePixelsX = frameWidth_ * 1000 / 25400, devicePixelsY = frameHeight_ * 1000 / 25400;
    std::string header = Word(1) + Word(88);
    header += Word(0) + Word(0) + Word(devicePixelsX) + Word(devicePixelsY); // bounds
    header += Word(0) + Word(0) + Word(frameWidth_) + Word(frameHeight_);    // frame
    header += Word(0x464D4520) + Word(0x10000);
    header += Word(static_cast<int64_t>(88 + records_.size() + eof.size())) + Word(count_ + 2);
    header += Short(1) + Short(0) + Word(0) + Word(0) + Word(0);
    header += Word(1000) + Word(1000) + Word(254) + Word(254);
    return header + records_ + eof;
}
