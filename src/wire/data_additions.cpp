#include "wire/data_additions.h"

#include "platform/base64.h"
#include "platform/log.h"
#include "platform/utf8.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <fstream>
#include <system_error>

namespace tc {

namespace {

// zlib: 15 window bits, plus 32 to detect a zlib or gzip header, plus 16 to write a gzip wrapper.
constexpr int kInflateWindowBits = 15 + 32;
constexpr int kDeflateWindowBits = 15 + 16;
constexpr std::size_t kMinInflateCapacity = 4096;
constexpr std::size_t kDeflateStep = 16384;

std::size_t offerable(std::size_t space) {
    return std::min<std::size_t>(space, UINT_MAX);
}

} // namespace

std::size_t NSDataAdditions::grownInflateCapacity(std::size_t current, std::size_t limit) {
    if (current >= limit)
        return limit;
    // Doubling keeps the copying linear in the output, whatever the compression ratio.
    std::size_t next = current > limit - current ? limit : current * 2;
    if (next < kMinInflateCapacity)
        next = std::min(kMinInflateCapacity, limit);
    return next;
}

std::optional<NSDataAdditions::Bytes> NSDataAdditions::gzipInflate(std::span<const std::uint8_t> data,
                                                                   std::size_t maxOutput) {
    if (data.empty())
        return Bytes{};
    if (data.size() > kMaxInputLength) {
        platform::Log::warning("inflate: {} compressed bytes, over the cap", data.size());
        return std::nullopt;
    }
    // One byte past the cap tells an over-long stream from one that ends exactly at it.
    const std::size_t limit = maxOutput == SIZE_MAX ? maxOutput : maxOutput + 1;
    const std::size_t initial = data.size() + (data.size() >> 1);
    Bytes out(std::min(std::max(initial, kMinInflateCapacity), limit));

    z_stream stream{};
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    if (inflateInit2(&stream, kInflateWindowBits) != Z_OK)
        return std::nullopt;

    std::size_t produced = 0;
    int status = Z_OK;
    do {
        if (produced == out.size()) {
            if (out.size() >= limit)
                break;
            out.resize(grownInflateCapacity(out.size(), limit));
        }
        const std::size_t space = offerable(out.size() - produced);
        stream.next_out = out.data() + produced;
        stream.avail_out = static_cast<uInt>(space);
        status = inflate(&stream, Z_SYNC_FLUSH);
        produced += space - stream.avail_out;
    } while (status == Z_OK);

    const bool closed = inflateEnd(&stream) == Z_OK;
    if (produced > maxOutput) {
        platform::Log::warning("inflate: output over the cap of {} bytes, refused", maxOutput);
        return std::nullopt;
    }
    // Z_BUF_ERROR here means the input ended before the stream did.
    if (status != Z_STREAM_END || !closed)
        return std::nullopt;
    out.resize(produced);
    return out;
}

std::optional<NSDataAdditions::Bytes> NSDataAdditions::gzipDeflate(std::span<const std::uint8_t> data) {
    if (data.empty())
        return Bytes{};
    if (data.size() > kMaxInputLength)
        return std::nullopt;
    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kDeflateWindowBits, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK)
        return std::nullopt;
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    // Sized from the bound so one call normally finishes; the loop only guards against a short bound.
    Bytes out(std::max<std::size_t>(deflateBound(&stream, static_cast<uLong>(data.size())), kDeflateStep));
    std::size_t produced = 0;
    int status = Z_OK;
    do {
        if (produced == out.size())
            out.resize(out.size() + std::max(kDeflateStep, out.size() / 2));
        const std::size_t space = offerable(out.size() - produced);
        stream.next_out = out.data() + produced;
        stream.avail_out = static_cast<uInt>(space);
        status = deflate(&stream, Z_FINISH);
        produced += space - stream.avail_out;
    } while (status == Z_OK || (status == Z_BUF_ERROR && produced == out.size()));
    deflateEnd(&stream);
    if (status != Z_STREAM_END)
        return std::nullopt;
    out.resize(produced);
    return out;
}

std::optional<NSDataAdditions::Bytes>
NSDataAdditions::gzipInflateSkippingPrefix(std::span<const std::uint8_t> payload, std::size_t maxOutput) {
    if (payload.size() < kPayloadPrefixLength)
        return std::nullopt;
    return gzipInflate(payload.subspan(kPayloadPrefixLength), maxOutput);
}

std::optional<std::string> NSDataAdditions::decompressData(std::string_view base64Text) {
    const auto payload = platform::Base64::decodeBase64WithString(base64Text);
    if (!payload)
        return std::nullopt;
    const auto inflated = gzipInflateSkippingPrefix(*payload);
    if (!inflated || !platform::isValidUtf8(
                         std::string_view(reinterpret_cast<const char*>(inflated->data()), inflated->size())))
        return std::nullopt;
    return std::string(inflated->begin(), inflated->end());
}

std::optional<NSDataAdditions::Bytes>
NSDataAdditions::dataWithUncompressedContentsOfFile(const std::filesystem::path& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec)
        return std::nullopt;
    if (size > kMaxInputLength) {
        platform::Log::warning("file of {} bytes over the cap, not read", size);
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    Bytes bytes(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (static_cast<std::uintmax_t>(in.gcount()) != size)
        return std::nullopt;
    if (path.extension() == ".gz")
        return gzipInflate(bytes);
    return bytes;
}

std::optional<NSDataAdditions::Bytes> NSDataAdditions::initWithBase64EncodedString(std::string_view text) {
    if (text.size() > kMaxInputLength)
        return std::nullopt;
    Bytes out;
    for (const char ch : text) {
        if (static_cast<unsigned char>(ch) >= 0x80)
            return out;
    }
    out.reserve(text.size() / 4 * 3 + 3);
    unsigned values[4] = {};
    int pending = 0;
    bool padded = false;
    for (const char ch : text) {
        if (ch == '=') {
            padded = true;
            break;
        }
        const int v = platform::Base64::sextet(ch);
        if (v < 0)
            continue;
        values[pending++] = static_cast<unsigned>(v);
        if (pending == 4) {
            out.push_back(static_cast<std::uint8_t>((values[0] << 2) | (values[1] >> 4)));
            out.push_back(static_cast<std::uint8_t>((values[1] << 4) | (values[2] >> 2)));
            out.push_back(static_cast<std::uint8_t>((values[2] << 6) | values[3]));
            pending = 0;
        }
    }
    // Reached on "=" or at the end; a lone pending sextet cannot make a byte, so it is dropped like the
    // pending values at the end of a text without padding.
    if (padded && pending >= 2)
        out.push_back(static_cast<std::uint8_t>((values[0] << 2) | (values[1] >> 4)));
    if (padded && pending == 3)
        out.push_back(static_cast<std::uint8_t>((values[1] << 4) | (values[2] >> 2)));
    return out;
}

std::optional<std::string> NSDataAdditions::base64EncodingWithLineLength(std::span<const std::uint8_t> data,
                                                                         std::uint32_t lineLength) {
    if (data.empty())
        return std::string{};
    const auto flat = platform::Base64::encodeBase64WithData(data);
    if (!flat)
        return std::nullopt;
    if (lineLength == 0)
        return flat;
    std::string out;
    out.reserve(flat->size() + flat->size() / 4 + 1);
    std::uint64_t onLine = 0;
    for (std::size_t k = 0; k < flat->size(); k += 4) {
        out.append(*flat, k, 4);
        onLine += 4;
        if (onLine >= lineLength) {
            out.push_back('\n');
            onLine = 0;
        }
    }
    return out;
}

} // namespace tc
