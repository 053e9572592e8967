#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

// Writes enhanced metafiles record by record, for tests that need one exact
// record: the header (frame and reference device) is made from the
// arguments, the end-of-file record and the header's counts are added by
// Bytes(). Integers are written as 32-bit little-endian words.
class EmfWriter {
  public:
    // A frame of frameWidth x frameHeight hundredths of a millimetre at the
    // origin, on a reference device of 100 pixels per 25.4 mm (about 100 dpi).
    EmfWriter(int frameWidth = 2540, int frameHeight = 2540);

    // A record of `type` whose body is `words`, each one 32-bit word.
    EmfWriter& Record(uint32_t type, std::initializer_list<int64_t> words);
    // A record of `type` with a body given as bytes (padded to 4 bytes).
    EmfWriter& Raw(uint32_t type, const std::string& body);
    // A comment record holding EMF+ records (each made by PlusRecord).
    EmfWriter& EmfPlus(const std::vector<std::string>& records);

    std::string Bytes() const;

    // Pieces for building bodies.
    static std::string Word(int64_t value);
    static std::string Short(int value);
    static std::string Float(float value);
    static std::string Utf16(const std::u16string& text);
    // One EMF+ record: type, flags and its data.
    static std::string PlusRecord(uint16_t type, uint16_t flags, const std::string& data);
    // A BITMAPINFOHEADER for an uncompressed bitmap (and `palette` 0x00RRGGBB entries).
    static std::string BitmapInfo(int width, int height, int bitCount,
                                  const std::vector<uint32_t>& palette = {});

  private:
    int frameWidth_;
    int frameHeight_;
    std::string records_;
    uint32_t count_ = 0;
};
