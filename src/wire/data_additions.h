#pragma once
// Byte-buffer helpers: gzip/zlib inflation of compressed payloads, gzip deflation, reading a possibly
// gzip-compressed file, and a line-breaking Base64 pair. Pure functions, callable from any thread.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tc {

class NSDataAdditions {
public:
    using Bytes = std::vector<std::uint8_t>;

    // Largest inflated result; a stream that would inflate past it is refused whole.
    static constexpr std::size_t kMaxInflatedLength = std::size_t{64} << 20;
    // Largest compressed input, buffer to deflate, file to read or Base64 text to decode.
    static constexpr std::size_t kMaxInputLength = std::size_t{64} << 20;
    // Leading bytes of a compressed payload (tag 1050, type 105) that precede the stream and are not read.
    static constexpr std::size_t kPayloadPrefixLength = 4;

    // Inflates a gzip or zlib stream (header detected). An empty input is returned as it is. nullopt on
    // any zlib error, truncated input, input over kMaxInputLength, or output past maxOutput (nothing
    // partial is returned). Bytes after the end of the stream are ignored.
    static std::optional<Bytes> gzipInflate(std::span<const std::uint8_t> data,
                                            std::size_t maxOutput = kMaxInflatedLength);
    // gzip stream of the bytes (default level); an empty input is returned as it is; nullopt when the
    // compressor cannot start or the input is over kMaxInputLength.
    static std::optional<Bytes> gzipDeflate(std::span<const std::uint8_t> data);

    // Drops the payload's 4 leading bytes and inflates the rest; nullopt when fewer than 4 bytes.
    static std::optional<Bytes> gzipInflateSkippingPrefix(std::span<const std::uint8_t> payload,
                                                          std::size_t maxOutput = kMaxInflatedLength);
    // Base64 text of a compressed payload to its UTF-8 text: strict Base64 decoding, the 4 leading bytes
    // dropped, inflation. nullopt when any step fails or the inflated bytes are not valid UTF-8.
    static std::optional<std::string> decompressData(std::string_view base64Text);

    // The file's bytes, inflated when the extension is exactly "gz"; nullopt when it cannot be read, is
    // over kMaxInputLength, or does not inflate.
    static std::optional<Bytes> dataWithUncompressedContentsOfFile(const std::filesystem::path& path);

    // Lenient Base64 decoder: characters outside the alphabet are ignored, "=" ends decoding, sextets
    // left incomplete are dropped, a non-ASCII text decodes as empty. nullopt only over kMaxInputLength.
    static std::optional<Bytes> initWithBase64EncodedString(std::string_view text);
    static std::optional<Bytes> dataWithBase64EncodedString(std::string_view text) {
        return initWithBase64EncodedString(text);
    }
    // Base64 with a "\n" after every lineLength characters (0: no breaks); empty input gives an empty
    // text; nullopt over the Base64 encoder's input cap.
    static std::optional<std::string> base64EncodingWithLineLength(std::span<const std::uint8_t> data,
                                                                   std::uint32_t lineLength);
    static std::optional<std::string> base64Encoding(std::span<const std::uint8_t> data) {
        return base64EncodingWithLineLength(data, 0);
    }

    // Next output capacity while inflating: doubles, never past limit.
    static std::size_t grownInflateCapacity(std::size_t current, std::size_t limit);
};

} // namespace tc
