#pragma once

namespace tc {

// Control bytes of the wire format. Frames, fields and the nested record texts carried inside field
// values are cut with these single bytes.
namespace wire {

inline constexpr char kFrameStart = '\x01';
inline constexpr char kFrameEnd = '\x02';
inline constexpr char kFieldEnd = '\x03';
inline constexpr char kFeedField = '\x04';
inline constexpr char kColumn = '\x05';
inline constexpr char kRecord = '\x06';
inline constexpr char kSection = '\x07';

} // namespace wire

} // namespace tc
