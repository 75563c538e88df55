#pragma once
// Tables of cases kept under tests/fixtures: one case a line, its fields apart by tabs; blank lines
// and lines starting with "#" are skipped. In a field, \t \n \r \0 \\ and \xHH stand for their bytes,
// so any text can be written on one line.
#include "support/wire_text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tc::testing_support {

struct CaseRow {
    int line = 0;
    std::vector<std::string> fields;
    const std::string& operator[](std::size_t i) const { return fields.at(i); }
};

inline std::string unescaped(std::string_view field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            out += field[i];
            continue;
        }
        const char c = field[++i];
        if (c == 'x' && i + 2 < field.size()) {
            out += static_cast<char>(std::stoi(std::string(field.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c == '0' ? '\0' : c;
        }
    }
    return out;
}

// The rows of tests/fixtures/`name`; a row with another count of fields than `fields` fails the test.
inline std::vector<CaseRow> caseTable(const std::filesystem::path& name, std::size_t fields) {
    const std::string text = fixtureText(name);
    std::vector<CaseRow> rows;
    int number = 0;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string_view line(text.data() + start, end - start);
        start = end + 1;
        ++number;
        if (line.empty() || line.front() == '#')
            continue;
        CaseRow row{number, {}};
        for (std::size_t from = 0;;) {
            const std::size_t tab = line.find('\t', from);
            row.fields.push_back(unescaped(line.substr(from, tab - from)));
            if (tab == std::string_view::npos)
                break;
            from = tab + 1;
        }
        EXPECT_EQ(row.fields.size(), fields) << name << ':' << number;
        if (row.fields.size() == fields)
            rows.push_back(std::move(row));
    }
    EXPECT_FALSE(rows.empty()) << name;
    return rows;
}

} // namespace tc::testing_support
