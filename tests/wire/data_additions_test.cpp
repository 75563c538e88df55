#include "platform/base64.h"
#include "support/temp_resources.h"
#include "support/wire_text.h"
#include "wire/data_additions.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace tc;

using Bytes = std::vector<std::uint8_t>;
using D = NSDataAdditions;

Bytes bytesOf(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

const std::string kFoxText = [] {
    std::string s;
    for (int i = 0; i < 3; ++i)
        s += "The quick brown fox jumps over the lazy dog. ";
    return s;
}();

// python3 -c "import zlib; open('fox.zlib', 'wb').write(zlib.compress(b'The quick brown fox jumps
// over the lazy dog. ' * 3, 9))", and the same text as a gzip member named fox.txt with mtime 0.
Bytes fixtureBytes(const char* name) {
    const std::string text = testing_support::fixtureText(std::string("compressed/") + name);
    return Bytes(text.begin(), text.end());
}
const Bytes kFoxZlib = fixtureBytes("fox.zlib");
const Bytes kFoxGzip = fixtureBytes("fox.txt.gz");

// python3 -c "import zlib; print(hex(zlib.crc32(b'The quick brown fox jumps over the lazy dog. ' * 3)))"
constexpr std::uint32_t kFoxCrc32 = 0x001e0058;

// Streams `total` zero bytes through zlib (gzip wrapper) without holding them in memory.
Bytes compressedZeros(std::size_t total) {
    z_stream s{};
    EXPECT_EQ(deflateInit2(&s, Z_BEST_COMPRESSION, Z_DEFLATED, 31, 9, Z_DEFAULT_STRATEGY), Z_OK);
    const Bytes chunk(1 << 20, 0);
    Bytes out;
    std::uint8_t buf[1 << 16];
    std::size_t left = total;
    int status = Z_OK;
    while (status != Z_STREAM_END) {
        const std::size_t n = std::min(left, chunk.size());
        s.next_in = const_cast<Bytef*>(chunk.data());
        s.avail_in = static_cast<uInt>(n);
        left -= n;
        const int flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
        do {
            s.next_out = buf;
            s.avail_out = sizeof buf;
            status = deflate(&s, flush);
            out.insert(out.end(), buf, buf + (sizeof buf - s.avail_out));
        } while (s.avail_out == 0);
    }
    deflateEnd(&s);
    return out;
}

Bytes withPrefix(Bytes prefix, const Bytes& stream) {
    prefix.insert(prefix.end(), stream.begin(), stream.end());
    return prefix;
}

TEST(GzipInflate, DetectsGzipAndZlibHeaders) {
    EXPECT_EQ(D::gzipInflate(kFoxZlib), bytesOf(kFoxText));
    EXPECT_EQ(D::gzipInflate(kFoxGzip), bytesOf(kFoxText));
}

TEST(GzipInflate, EmptyInputIsReturnedAsIs) {
    const auto out = D::gzipInflate({});
    ASSERT_TRUE(out.has_value());
    EXPECT_TRUE(out->empty());
}

TEST(GzipInflate, TruncatedOrCorruptStreamsFail) {
    for (std::size_t n = 1; n < kFoxGzip.size(); ++n)
        EXPECT_FALSE(D::gzipInflate(std::span(kFoxGzip).first(n)).has_value()) << n;
    for (std::size_t n = 1; n < kFoxZlib.size(); ++n)
        EXPECT_FALSE(D::gzipInflate(std::span(kFoxZlib).first(n)).has_value()) << n;

    Bytes badCrc = kFoxGzip;
    badCrc[badCrc.size() - 8] ^= 1;
    EXPECT_FALSE(D::gzipInflate(badCrc).has_value());
    EXPECT_FALSE(D::gzipInflate(bytesOf("not compressed at all")).has_value());
}

TEST(GzipInflate, BytesAfterTheStreamAreIgnored) {
    Bytes padded = kFoxZlib;
    padded.insert(padded.end(), {0xaa, 0xbb});
    EXPECT_EQ(D::gzipInflate(padded), bytesOf(kFoxText));
}

TEST(GzipInflate, OutputCapIsExactAndNothingPartialIsReturned) {
    const std::size_t size = kFoxText.size();
    EXPECT_EQ(D::gzipInflate(kFoxGzip, size), bytesOf(kFoxText));
    EXPECT_FALSE(D::gzipInflate(kFoxGzip, size - 1).has_value());
    EXPECT_FALSE(D::gzipInflate(kFoxGzip, 0).has_value());
}

TEST(GzipInflate, RefusesAStreamThatInflatesPastTheDefaultCap) {
    const Bytes bomb = compressedZeros(std::size_t{100} << 20);
    ASSERT_LT(bomb.size(), std::size_t{1} << 20);
    EXPECT_FALSE(D::gzipInflate(bomb).has_value());

    // Right at the cap it still inflates.
    const auto full = D::gzipInflate(compressedZeros(D::kMaxInflatedLength));
    ASSERT_TRUE(full.has_value());
    EXPECT_EQ(full->size(), D::kMaxInflatedLength);
}

TEST(GzipInflate, OutputBufferGrowsGeometrically) {
    EXPECT_EQ(D::grownInflateCapacity(8192, 1 << 20), 16384u);
    EXPECT_EQ(D::grownInflateCapacity(0, 1 << 20), 4096u);
    EXPECT_EQ(D::grownInflateCapacity(700000, 1 << 20), std::size_t{1} << 20);
    EXPECT_EQ(D::grownInflateCapacity(1 << 20, 1 << 20), std::size_t{1} << 20);
    EXPECT_EQ(D::grownInflateCapacity(100, 10), 10u);

    // From a tiny compressed input to the cap in a logarithmic number of steps.
    const std::size_t limit = D::kMaxInflatedLength + 1;
    std::size_t capacity = 6, steps = 0;
    while (capacity < limit) {
        const std::size_t next = D::grownInflateCapacity(capacity, limit);
        ASSERT_GT(next, capacity);
        capacity = next;
        ++steps;
    }
    EXPECT_LE(steps, 16u);
}

TEST(GzipDeflate, WritesAGzipMemberThatInflatesBack) {
    const auto packed = D::gzipDeflate(bytesOf(kFoxText));
    ASSERT_TRUE(packed.has_value());
    ASSERT_GT(packed->size(), 18u);
    EXPECT_EQ((*packed)[0], 0x1f);
    EXPECT_EQ((*packed)[1], 0x8b);
    EXPECT_EQ((*packed)[2], 0x08);
    // Trailer: CRC-32 and length, little-endian.
    const auto* t = packed->data() + packed->size() - 8;
    EXPECT_EQ(std::uint32_t(t[0]) | std::uint32_t(t[1]) << 8 | std::uint32_t(t[2]) << 16 |
                  std::uint32_t(t[3]) << 24,
              kFoxCrc32);
    EXPECT_EQ(std::uint32_t(t[4]) | std::uint32_t(t[5]) << 8, kFoxText.size());
    EXPECT_EQ(D::gzipInflate(*packed), bytesOf(kFoxText));

    const auto empty = D::gzipDeflate({});
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->empty());
}

TEST(GzipDeflate, RoundTripsLargeMixedData) {
    std::mt19937 rng(11);
    Bytes data(std::size_t{3} << 20);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = (i / 4096) % 2 ? static_cast<std::uint8_t>(rng()) : static_cast<std::uint8_t>(i % 7);
    const auto packed = D::gzipDeflate(data);
    ASSERT_TRUE(packed.has_value());
    EXPECT_EQ(D::gzipInflate(*packed), data);
}

TEST(CompressedPayload, SkipsFourLeadingBytesWhateverTheyHold) {
    const Bytes a = withPrefix({0x87, 0, 0, 0}, kFoxGzip);
    const Bytes b = withPrefix({0xff, 0xff, 0xff, 0xff}, kFoxGzip);
    EXPECT_EQ(D::gzipInflateSkippingPrefix(a), bytesOf(kFoxText));
    EXPECT_EQ(D::gzipInflateSkippingPrefix(b), bytesOf(kFoxText));
    EXPECT_EQ(D::gzipInflateSkippingPrefix(withPrefix({1, 2, 3, 4}, kFoxZlib)), bytesOf(kFoxText));
    EXPECT_FALSE(D::gzipInflateSkippingPrefix(withPrefix({1, 2, 3, 4}, kFoxGzip), 10).has_value());
}

TEST(CompressedPayload, ShorterThanThePrefixFails) {
    for (std::size_t n = 0; n < D::kPayloadPrefixLength; ++n)
        EXPECT_FALSE(D::gzipInflateSkippingPrefix(Bytes(n, 0x1f)).has_value()) << n;
    // Exactly the prefix leaves an empty stream, which inflates to nothing.
    EXPECT_EQ(D::gzipInflateSkippingPrefix(Bytes(4, 0)), Bytes{});
    EXPECT_FALSE(D::decompressData("AAA=").has_value()); // two bytes
}

TEST(CompressedPayload, DecompressDataGivesUtf8Text) {
    // python3 -c "import base64,zlib; print(base64.b64encode(bytes([0xde,0xad,0xbe,0xef]) +
    //   zlib.compress('Grüße, € 1.25\n'.encode())).decode())"
    EXPECT_EQ(D::decompressData("3q2+73iccy86vOfw/FQdhUdNaxQM9YxMuQBSoAdM"), "Gr\xc3\xbc\xc3\x9f"
                                                                             "e, \xe2\x82\xac 1.25\n");
    EXPECT_FALSE(D::decompressData("3q2+73iccy86vOfw/FQdhUdNaxQM9YxMuQBSoAd").has_value()); // cut short
    EXPECT_FALSE(D::decompressData("3q2+7*3iccy").has_value());                             // not Base64

    const auto invalidUtf8 = D::gzipDeflate(Bytes{0x41, 0xff, 0xfe});
    ASSERT_TRUE(invalidUtf8.has_value());
    const auto text = platform::Base64::encodeBase64WithData(withPrefix({0, 0, 0, 0}, *invalidUtf8));
    ASSERT_TRUE(text.has_value());
    EXPECT_FALSE(D::decompressData(*text).has_value());
}

class UncompressedFile : public ::testing::Test {
protected:
    std::filesystem::path write(const std::string& name, const Bytes& bytes) {
        return dir.write(name, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }
    testing_support::TempDir dir;
};

TEST_F(UncompressedFile, InflatesOnlyAGzExtension) {
    EXPECT_EQ(D::dataWithUncompressedContentsOfFile(write("fox.xml.gz", kFoxGzip)), bytesOf(kFoxText));
    EXPECT_EQ(D::dataWithUncompressedContentsOfFile(write("fox.GZ", kFoxGzip)), kFoxGzip);
    EXPECT_EQ(D::dataWithUncompressedContentsOfFile(write("fox.txt", bytesOf(kFoxText))), bytesOf(kFoxText));
    EXPECT_EQ(D::dataWithUncompressedContentsOfFile(write("empty.txt", {})), Bytes{});
}

TEST_F(UncompressedFile, MissingOrBrokenFilesGiveNothing) {
    EXPECT_FALSE(D::dataWithUncompressedContentsOfFile(dir.path() / "absent.txt").has_value());
    EXPECT_FALSE(D::dataWithUncompressedContentsOfFile(dir.path()).has_value());
    EXPECT_FALSE(
        D::dataWithUncompressedContentsOfFile(write("cut.gz", Bytes(kFoxGzip.begin(), kFoxGzip.end() - 3)))
            .has_value());
}

} // namespace
