// The program's pure functions: number reading, decoding, formatting and the
// conversion's row arithmetic, where sign and width faults hide.
#include <gtest/gtest.h>

#include <cerrno>

#include "bitmap/bitmap.hpp"
#include "driver/driver.hpp"
#include "output/output.hpp"
#include "services/console.hpp"
#include "services/platform/posix.hpp"
#include "services/platform/windows_errors.hpp"
#include "services/platform/wtf8.hpp"
#include "services/text.hpp"
#include "sprite/sprite.hpp"

namespace {

struct ColourCase {
  std::string text;
  int entry;
};

TEST(ColourNumber, ReadsEveryNotationAndRefusesTheRest) {
  const ColourCase cases[] = {
      {"3", 3},
      {"$ff", 255},
      {"$FF", 255},
      {"0x10", 16},
      {"0X10", 16},
      {"x1F", 31},
      {"X1f", 31},
      {"%11", 3},
      {"&17", 15},
      {"+2", 2},
      {" 2", 2},
      {"\t 2", 2},
      {"2 ", 0},
      {"-1", 0},
      {"-$ff", 0},
      {"300", 44},
      {"256", 0},
      {"ff", 0},
      {"1.0", 0},
      {"", 0},
      {"   ", 0},
      {"$", 0},
      {"0x", 0},
      {"+", 0},
      {"%12", 0},
      {"&8", 0},
      {"007", 7},
      {"+-2", 0},
      {"18446744073709551615", 255},
      {"18446744073709551616", 0},
      {"18446744073709551617", 0},
      {"$ffffffffffffffff", 255},
      {"$10000000000000000", 0},
      {"$10000000000000001", 0},
      {"$0x10", 0},
      {"0x0x1", 0},
  };
  for (const ColourCase& c : cases)
    EXPECT_EQ(colour_number(c.text), c.entry) << '"' << c.text << '"';
}

TEST(LeBytesToInt, DecodesLittleEndianSigned) {
  const struct {
    std::uint8_t bytes[4];
    std::int32_t value;
  } cases[] = {
      {{0, 0, 0, 0}, 0},
      {{0x76, 0, 0, 0}, 118},
      {{0x34, 0x12, 0, 0}, 0x1234},
      {{0xFF, 0xFF, 0, 0}, 65535},
      {{0xEB, 0xFF, 0xFF, 0xFF}, -21},
      {{0, 0, 0, 0x80}, INT32_MIN},
      {{0xFF, 0xFF, 0xFF, 0x7F}, INT32_MAX},
  };
  for (const auto& c : cases) EXPECT_EQ(le_bytes_to_int(c.bytes), c.value);
}

TEST(HexPairValue, ReadsTwoDigitsOfEitherCase) {
  const struct {
    std::string text;
    int value;
  } cases[] = {
      {"20", 0x20}, {"00", 0},    {"c0", 0xC0},  {"C0", 0xC0}, {"fF", 0xFF},
      {"Ab", 0xAB}, {"$c", 0x0C}, {"no", 0x00},  {"NE", 0x0E}, {"g1", 0x01},
      {"1", 0x10},  {"", 0},      {"801", 0x80},
  };
  for (const auto& c : cases) EXPECT_EQ(hex_pair_value(c.text), c.value) << '"' << c.text << '"';
}

TEST(Formatting, DecimalHasNoBlanksOrLeadingZeros) {
  const struct {
    std::int64_t value;
    std::string text;
  } cases[] = {
      {0, "0"},
      {-7, "-7"},
      {306, "306"},
      {2147483647, "2147483647"},
      {-2147483648LL, "-2147483648"},
      {INT64_MIN, "-9223372036854775808"},
  };
  for (const auto& c : cases) {
    char out[20];
    EXPECT_EQ(std::string(out, format_decimal(c.value, out)), c.text);
  }
}

TEST(Formatting, HexHasSixteenUppercaseDigits) {
  char out[16];
  format_hex16(0x1709, out);
  EXPECT_EQ(std::string(out, 16), "0000000000001709");
  format_hex16(0xFEDCBA9876543210ULL, out);
  EXPECT_EQ(std::string(out, 16), "FEDCBA9876543210");
}

TEST(Text, LinesAreCutAfterTheir255thCharacter) {
  EXPECT_EQ(join_cut({"ab", "", "cd"}), "abcd");
  EXPECT_EQ(join_cut({std::string(250, 'x'), "123456789"}), std::string(250, 'x') + "12345");
  EXPECT_EQ(cut_text(std::string(300, 'y')).size(), 255u);
}

using namespace sprite_arithmetic;

TEST(SpriteArithmetic, FourBitRowLengthAndSteps) {
  const struct {
    std::int32_t width;
    std::int16_t row_length;
    std::int16_t last_step;
  } cases[] = {
      {24, 12, 11},
      {25, 12, 11},
      {20, 10, 9},
      {7, 3, 2},
      {1, 0, -1},
      {0, 0, -1},
      {-1, -1, -2},
      {65535, 32767, 32766},
      {65536, -32768, 32767},  // the one negative length with steps
      {131074, 1, 0},          // only the low 16 bits count
  };
  for (const auto& c : cases) {
    EXPECT_EQ(four_bit_row_length(c.width), c.row_length) << c.width;
    EXPECT_EQ(four_bit_last_step(c.row_length), c.last_step) << c.width;
  }
}

TEST(SpriteArithmetic, EightBitRowLengthAndSteps) {
  const struct {
    std::int32_t width;
    std::int16_t row_length;
    std::int16_t last_step;
  } cases[] = {
      {24, 24, 11},
      {25, 25, 11},
      {1, 1, -1},
      {2, 2, 0},
      {0, 0, -1},
      {-1, -1, -1},
      {-3, -3, -2},
      {32767, 32767, 16382},
      {32768, -32768, -16385},
      {65560, 24, 11},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(eight_bit_row_length(c.width), c.row_length) << c.width;
    EXPECT_EQ(eight_bit_last_step(c.row_length), c.last_step) << c.width;
  }
}

TEST(SpriteArithmetic, StartRowIsHeightLessOneIn16Bits) {
  EXPECT_EQ(start_row_index(21), 20);
  EXPECT_EQ(start_row_index(1), 0);
  EXPECT_EQ(start_row_index(0), -1);
  EXPECT_EQ(start_row_index(-21), -22);
  EXPECT_EQ(start_row_index(32768), 32767);
  EXPECT_EQ(start_row_index(32769), -32768);
  EXPECT_EQ(start_row_index(INT32_MIN), -1);
}

TEST(SpriteArithmetic, SeekPositionsUse64Bits) {
  EXPECT_EQ(row_position(118, 20, 12), 358);
  EXPECT_EQ(row_position(INT32_MAX, 32767, 32767), 2147483647LL + 32767LL * 32767);
  EXPECT_EQ(row_position(10, 1, -32768), -32758);
  EXPECT_EQ(hires_row_position(62, 0), 142);
  EXPECT_EQ(hires_row_position(62, 20), 62);
  EXPECT_EQ(hires_row_position(-5, 20), -5);
}

TEST(SpriteArithmetic, PixelCodesFillPairsFromTheLeft) {
  std::uint8_t byte = 0;
  const std::uint8_t codes[] = {1, 2, 3, 0};
  for (unsigned i = 0; i < 4; ++i) byte = place_pixel(byte, codes[i], i);
  EXPECT_EQ(byte, 108);
  // Codes above 3 spill into the neighbours; bits past bit 7 are lost.
  EXPECT_EQ(place_pixel(0, 4, 0), 0);
  EXPECT_EQ(place_pixel(0, 4, 3), 4);
  EXPECT_EQ(place_pixel(0, 255, 2), 0xFC);
}

TEST(PosixErrors, MapByCondition) {
  using platform::IoOperation;
  const struct {
    int error;
    IoOperation operation;
    bool directory_exists;
    int number;
  } cases[] = {
      {ENOENT, IoOperation::open, true, 2},     {ENOENT, IoOperation::open, false, 3},
      {ENOTDIR, IoOperation::open, true, 3},    {ENAMETOOLONG, IoOperation::open, true, 3},
      {ELOOP, IoOperation::open, true, 3},      {EMFILE, IoOperation::open, true, 4},
      {ENFILE, IoOperation::open, true, 4},     {EACCES, IoOperation::open, true, 5},
      {EPERM, IoOperation::open, true, 5},      {EISDIR, IoOperation::open, true, 5},
      {ETXTBSY, IoOperation::open, true, 5},    {EEXIST, IoOperation::open, true, 5},
      {ENOTEMPTY, IoOperation::other, true, 5}, {EWOULDBLOCK, IoOperation::open, true, 5},
      {EBADF, IoOperation::read, true, 6},      {ENOMEM, IoOperation::open, true, 8},
      {EROFS, IoOperation::open, true, 150},    {ENXIO, IoOperation::open, true, 152},
      {ENODEV, IoOperation::open, true, 152},   {ESPIPE, IoOperation::other, true, 156},
      {EIO, IoOperation::write, true, 160},     {EIO, IoOperation::read, true, 161},
      {EIO, IoOperation::other, true, 162},     {ENOSPC, IoOperation::write, true, 101},
      {EDQUOT, IoOperation::write, true, 101},  {EFBIG, IoOperation::write, true, 101},
      {EPIPE, IoOperation::write, true, 101},   {0, IoOperation::other, true, 162},
      {EILSEQ, IoOperation::open, true, 123},   {EINVAL, IoOperation::other, true, EINVAL},
  };
  for (const auto& c : cases)
    EXPECT_EQ(platform::io_error_for_errno(c.error, c.operation, c.directory_exists), c.number)
        << "errno " << c.error;
}

TEST(WindowsErrors, MapByTheSystemCodeTable) {
  const struct {
    std::uint32_t code;
    int number;
  } cases[] = {
      {2, 2},     {3, 3},
      {4, 4},     {5, 5},
      {6, 6},     {8, 8},
      {18, 18},   {19, 150},
      {21, 152},  {23, 154},
      {25, 156},  {29, 160},
      {30, 161},  {31, 162},
      {32, 5},    {33, 33},
      {112, 101}, {131, 131},
      {145, 5},   {183, 5},
      {206, 3},   {0x12345, 0x2345},
      {1, 156},   {109, 101},
      {232, 101}, {233, 101},
      {0, 162},   {0x10001, 162},
  };
  for (const auto& c : cases)
    EXPECT_EQ(platform::io_error_for_system_code(c.code), c.number) << "code " << c.code;
}

// Windows names round trip through WTF-8 whatever they hold, an unpaired
// surrogate or a character past U+FFFF included.
TEST(WindowsNames, RoundTripThroughWtf8) {
  const struct {
    std::u16string wide;
    std::string bytes;
  } cases[] = {
      {u"in.bmp", "in.bmp"},
      {u"\u0142.prg", "\xC5\x82.prg"},                         // ł
      {u"\u6C14\u7403", "\xE6\xB0\x94\xE7\x90\x83"},           // 气球
      {u"\U0001F388.prg", "\xF0\x9F\x8E\x88.prg"},             // a surrogate pair
      {u"x\xD800.prg", "x\xED\xA0\x80.prg"},                   // an unpaired high surrogate
      {std::u16string(1, u'\xDC00') + u"y", "\xED\xB0\x80y"},  // an unpaired low one
      {std::u16string{u'\xDC00', u'\xD800'}, "\xED\xB0\x80\xED\xA0\x80"},  // the wrong order
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::wtf8_from_utf16(c.wide), c.bytes) << c.bytes;
    EXPECT_EQ(platform::utf16_from_wtf8(c.bytes), c.wide) << c.bytes;
  }
}

}  // namespace
