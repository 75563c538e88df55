#pragma once
// The one reader of RTF texts (chat messages, notices, room transcripts): a small table-driven
// scanner that keeps the document's own characters, drops destinations (font and colour tables,
// style sheets, document information, pictures, headers, footers, notes), turns a fixed set of
// control words into characters and keeps character and paragraph formatting as runs over its
// output. Any syntax error gives no text at all, never a partial one.
//
// Text: raw bytes are read as UTF-8 (ill-formed sequences become U+FFFD), "\'hh" as Windows-1252,
// "\uN" as a UTF-16 unit (pairs join) with the "\ucN" fallback characters after it skipped.
// Control characters other than tab and line feed are not text and are dropped.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tc::chat {

// Run ranges are byte offsets into the UTF-8 text: [start, end).
struct RtfFontRun {
    std::size_t start = 0;
    std::size_t end = 0;
    std::int32_t fontIndex = 0;
    float fontSize = 0;
    bool isBold = false;
    bool isItalic = false;
};

struct RtfParagraphRun {
    std::size_t start = 0;
    std::size_t end = 0;
    std::int32_t indentLeft = 0;
    std::int32_t indentRight = 0;
    std::int32_t indentFirst = 0;
    std::int32_t just = 0; // 0 left, 1 right, 2 centred, 3 justified
};

enum class RtfError {
    None = 0,
    UnmatchedClose = 1,   // "}" with no open group
    TooDeep = 2,          // more open groups than kMaxGroupDepth
    OpenGroups = 3,       // groups still open at the end
    BadHexDigit = 4,      // a "\'" pair with a byte that is not a hexadecimal digit
    UnknownAction = 5,    // internal: a table row the reader cannot act on
    BadState = 6,         // internal
    TruncatedControl = 7, // the input ends right after a backslash or a parameter's "-"
    TooLarge = 8,         // the document is over kMaxDocumentBytes
};

struct RtfDocument {
    std::string text;
    std::vector<RtfFontRun> fontRuns;
    std::vector<RtfParagraphRun> paragraphRuns;
    RtfError error = RtfError::None; // on error the text and runs are empty
};

class RtfReader {
public:
    static constexpr std::size_t kMaxDocumentBytes = std::size_t{16} << 20;
    static constexpr int kMaxGroupDepth = 4096;
    // Longer control words, or longer parameters, are read whole and treated as unknown words.
    static constexpr std::size_t kMaxKeywordLetters = 31;
    static constexpr std::size_t kMaxParameterDigits = 31;
    // "\ucN" beyond this is taken as this many fallback characters.
    static constexpr std::int64_t kMaxFallbackCharacters = 64;
    // Formatting runs kept of each kind; later changes apply to the last run (the text is whole).
    static constexpr std::size_t kMaxRuns = std::size_t{1} << 16;

    // The plain text of the document; "" when it cannot be read.
    static std::string ConvertRTFToString(std::string_view rtf);
    // The text with its formatting runs, or the error that ended the reading.
    static RtfDocument read(std::string_view rtf);
};

} // namespace tc::chat
