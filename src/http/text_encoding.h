#pragma once
// The few text encodings the client converts between: UTF-8 inside, and what form bodies and response
// charsets may name outside.
#include <optional>
#include <string>
#include <string_view>

namespace tc::http {

// Values follow the platform's string-encoding codes, so stored settings keep their meaning.
enum class StringEncoding : unsigned {
    ASCII = 1,
    UTF8 = 4,
    ISOLatin1 = 5,
    UTF16 = 10,
    WindowsCP1252 = 12,
    UTF16BE = 0x90000100,
    UTF16LE = 0x94000100,
};

// The encoding an IANA charset name stands for (case-insensitive); nullopt for names not handled.
std::optional<StringEncoding> encodingForIANACharsetName(std::string_view name);

// UTF-8 text to bytes in `encoding`; nullopt when a character has no form there or the text is not UTF-8.
std::optional<std::string> encodeText(std::string_view utf8, StringEncoding encoding);

// Bytes in `encoding` to UTF-8 text; nullopt when they are not valid in that encoding.
std::optional<std::string> decodeText(std::string_view bytes, StringEncoding encoding);

} // namespace tc::http
