#pragma once
// Writing the record texts carried inside field values (fields cut at 0x05, records ended by 0x06).
// The form has no escaping, so a value holding any wire control byte (0x01-0x07) would cut the
// frame, the field or the record: such a value is refused with the field's name, never sent.
#include "wire/separators.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace tc::wire {

// The position of the first wire control byte (0x01-0x07) in the text, or npos.
constexpr std::size_t findControlByte(std::string_view text) noexcept {
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] >= kFrameStart && text[i] <= kSection)
            return i;
    return std::string_view::npos;
}

// What stands before the first record end 0x06 (the whole text when there is none).
constexpr std::string_view firstRecord(std::string_view text) noexcept {
    const std::size_t end = text.find(kRecord);
    return end == std::string_view::npos ? text : text.substr(0, end);
}

// A record text, or why it could not be written.
struct RecordText {
    std::string text;  // the record when written
    std::string error; // empty when written

    bool ok() const noexcept { return error.empty(); }
};

// Appends fields to a record text; the first refused value stops the writing and keeps its reason.
class RecordWriter {
public:
    // A text field; refused when it holds a wire control byte.
    RecordWriter& text(std::string_view name, std::string_view value) {
        if (!out_.ok())
            return *this;
        if (findControlByte(value) != std::string_view::npos) {
            out_.error = std::string(name) + " holds a control character that the record cannot carry";
            return *this;
        }
        separate();
        out_.text.append(value);
        return *this;
    }
    // A field the writer made itself (numbers, fixed texts); taken as it is.
    RecordWriter& raw(std::string_view value) {
        if (!out_.ok())
            return *this;
        separate();
        out_.text.append(value);
        return *this;
    }
    // Refuses the record with a reason of the caller's.
    RecordWriter& refuse(std::string reason) {
        if (out_.ok())
            out_.error = std::move(reason);
        return *this;
    }
    // The record, its last field ended by 0x06 (or by nothing, for a record that stands alone in
    // its field).
    RecordText finish(bool endRecord = true) {
        if (!out_.ok())
            out_.text.clear();
        else if (endRecord)
            out_.text.push_back(kRecord);
        return std::move(out_);
    }

private:
    void separate() {
        if (started_)
            out_.text.push_back(kColumn);
        started_ = true;
    }

    RecordText out_;
    bool started_ = false;
};

} // namespace tc::wire
