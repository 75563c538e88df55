#pragma once
// Times as the server's clock writes them: no zone is applied, so the digits shown are the digits
// sent. Records hold these; only cells and texts turn them into words.
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace tc {

using WallTime = std::chrono::sys_seconds;

// "yyyyMMddHHmmss": nullopt for the wire's null time ("00010101000000"), an empty text and anything
// that names no real time.
std::optional<WallTime> wallTimeFromWire(std::string_view text);
// A date-time text of `sourceFormat` (a date formatter pattern, in universal time): nullopt as above.
std::optional<WallTime> wallTimeFromText(std::string_view text, std::string_view sourceFormat);

// "MM/dd/yyyy HH:mm:ss"; "" without a time.
std::string displayDateTime(std::optional<WallTime> time);
// "HH:mm:ss"; "" without a time.
std::string clockTime(std::optional<WallTime> time);
// "yyyyMMddHHmmss"; "" without a time.
std::string wireDateTime(std::optional<WallTime> time);

} // namespace tc
