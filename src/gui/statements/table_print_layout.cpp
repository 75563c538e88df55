#include "gui/statements/table_print_layout.h"

#include <algorithm>
#include <numeric>

namespace tc::gui {
namespace {

// Length of the UTF-8 sequence that starts with this byte (1 for a stray continuation byte).
std::size_t sequenceLength(unsigned char lead) {
    if (lead >= 0xF0)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

class Wrapper {
public:
    Wrapper(const TextMetrics& metrics, double width) : metrics_(metrics), width_(width) {}

    std::vector<std::string> wrap(std::string_view text) const {
        std::vector<std::string> lines;
        std::size_t start = 0;
        while (true) {
            const auto end = text.find('\n', start);
            wrapParagraph(
                text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start),
                lines);
            if (end == std::string_view::npos)
                break;
            start = end + 1;
        }
        return lines;
    }

private:
    // A column laid out to a text's own width holds it, though adding and taking away the cell's
    // padding may leave the width a hair short of it.
    bool fits(std::string_view text) const { return metrics_.width(text) <= width_ + 1e-6; }

    // Words are cut at spaces (runs of spaces count as one); a paragraph is at least one line.
    void wrapParagraph(std::string_view paragraph, std::vector<std::string>& lines) const {
        std::string line;
        std::size_t start = 0;
        while (start < paragraph.size()) {
            auto end = paragraph.find(' ', start);
            if (end == std::string_view::npos)
                end = paragraph.size();
            const std::string_view word = paragraph.substr(start, end - start);
            start = end + 1;
            if (word.empty())
                continue;
            if (line.empty()) {
                line = breakLongWord(word, lines);
                continue;
            }
            std::string joined = line + " " + std::string(word);
            if (fits(joined)) {
                line = std::move(joined);
            } else {
                lines.push_back(std::move(line));
                line = breakLongWord(word, lines);
            }
        }
        lines.push_back(std::move(line));
    }

    // Moves the leading pieces of a word wider than the column onto lines of their own; gives the
    // piece that is left. Every piece holds at least one character.
    std::string breakLongWord(std::string_view word, std::vector<std::string>& lines) const {
        while (!fits(word)) {
            std::size_t cut = sequenceLength(static_cast<unsigned char>(word[0]));
            while (cut < word.size()) {
                const std::size_t next = cut + sequenceLength(static_cast<unsigned char>(word[cut]));
                if (next > word.size() || !fits(word.substr(0, next)))
                    break;
                cut = next;
            }
            if (cut >= word.size())
                break;
            lines.emplace_back(word.substr(0, cut));
            word.remove_prefix(cut);
        }
        return std::string(word);
    }

    const TextMetrics& metrics_;
    double width_;
};

double maxLineWidth(std::string_view text, const TextMetrics& metrics) {
    double widest = 0;
    std::size_t start = 0;
    while (true) {
        const auto end = text.find('\n', start);
        widest = std::max(
            widest, metrics.width(text.substr(start, end == std::string_view::npos ? end : end - start)));
        if (end == std::string_view::npos)
            return widest;
        start = end + 1;
    }
}

// The widest word of a text: how narrow its column may get before a word has to break.
double widestWord(std::string_view text, const TextMetrics& metrics) {
    double widest = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto end = text.find_first_of(" \n", start);
        const std::size_t stop = end == std::string_view::npos ? text.size() : end;
        if (stop > start)
            widest = std::max(widest, metrics.width(text.substr(start, stop - start)));
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    return widest;
}

// Columns narrower than an equal share of what is left keep their width; the others share the rest.
std::vector<double> shareWidths(const std::vector<double>& natural, double available) {
    std::vector<std::size_t> order(natural.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return natural[a] < natural[b]; });
    std::vector<double> widths(natural.size());
    double left = available;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const double share = left / static_cast<double>(order.size() - i);
        widths[order[i]] = std::min(natural[order[i]], share);
        left -= widths[order[i]];
    }
    return widths;
}

// Too wide for the page: the columns first give up what their texts can wrap at blanks, each in
// proportion to what it can give, so no word breaks while the widest words still fit side by side.
// Narrower still, each column keeps its `kept` width (the words that must never break) and they
// share the rest as shareWidths does.
std::vector<double> fitWidths(const std::vector<double>& natural, const std::vector<double>& words,
                              const std::vector<double>& kept, double available) {
    const double total = std::accumulate(natural.begin(), natural.end(), 0.0);
    if (total <= available)
        return natural;
    const double least = std::accumulate(words.begin(), words.end(), 0.0);
    if (least <= available && total > least) {
        const double keep = (available - least) / (total - least);
        std::vector<double> widths(natural.size());
        for (std::size_t c = 0; c < natural.size(); ++c)
            widths[c] = words[c] + (natural[c] - words[c]) * keep;
        return widths;
    }
    const double floor = std::accumulate(kept.begin(), kept.end(), 0.0);
    // Not even those fit the page: it is shared as best it can be.
    if (floor > available)
        return shareWidths(kept, available);
    std::vector<double> more(words.size());
    for (std::size_t c = 0; c < words.size(); ++c)
        more[c] = std::max(0.0, words[c] - kept[c]);
    std::vector<double> widths = shareWidths(more, available - floor);
    for (std::size_t c = 0; c < widths.size(); ++c)
        widths[c] += kept[c];
    return widths;
}

} // namespace

bool isBandedRow(std::size_t row, const TablePrintStyle& style) {
    if (style.headerRow)
        return row > 0 && row % 2 == 0;
    return row % 2 == 1;
}

namespace {

// The header role wins over banding; banding counts only where it is switched on.
template <class Role>
Role roleOf(std::size_t row, std::size_t column, const TablePrintStyle& style, bool banding) {
    if ((row == 0 && style.headerRow) || (column == 0 && style.headerColumn))
        return Role::Header;
    return banding && isBandedRow(row, style) ? Role::AlternateRow : Role::Row;
}

} // namespace

CellFill cellFill(std::size_t row, std::size_t column, const TablePrintStyle& style) {
    return roleOf<CellFill>(row, column, style, style.alternateRows);
}

CellTextStyle cellTextStyle(std::size_t row, std::size_t column, const TablePrintStyle& style) {
    return roleOf<CellTextStyle>(row, column, style, style.alternateTextRows);
}

TableLayout layoutTable(const PrintRows& rows, const TextMetrics& metrics, PageArea page,
                        const TablePrintStyle& style, std::size_t startPage, double startTop) {
    TableLayout layout;
    layout.lastPage = startPage;
    layout.endTop = startTop;
    if (rows.empty() || !metrics.width)
        return layout;
    const std::size_t columns = rows.front().size();
    const double inset = 2 * style.horizontalPadding + style.borderWidth;

    std::vector<double> natural(columns, inset);
    for (const auto& row : rows)
        for (std::size_t c = 0; c < columns && c < row.size(); ++c)
            natural[c] = std::max(natural[c], maxLineWidth(row[c], metrics) + inset);
    const auto alignment = [&](std::size_t column) {
        return column < style.alignments.size() ? style.alignments[column] : CellAlignment::Left;
    };
    // The widest words are measured only when the table does not fit as it stands; a text without
    // a blank is its own widest word. The header's words and a right-aligned column's figures are
    // the ones that never break.
    std::vector<double> words = natural, kept(columns, inset);
    if (std::accumulate(natural.begin(), natural.end(), 0.0) > page.width) {
        words.assign(columns, inset);
        for (std::size_t r = 0; r < rows.size(); ++r)
            for (std::size_t c = 0; c < columns && c < rows[r].size(); ++c) {
                const std::string& text = rows[r][c];
                const double widest = text.find_first_of(" \n") == std::string::npos
                                          ? metrics.width(text)
                                          : widestWord(text, metrics);
                words[c] = std::max(words[c], widest + inset);
                if ((r == 0 && style.headerRow) || alignment(c) == CellAlignment::Right)
                    kept[c] = std::max(kept[c], widest + inset);
            }
    }
    layout.columnWidths = fitWidths(natural, words, kept, page.width);

    static const std::string kEmpty;
    layout.cells.resize(rows.size());
    layout.rowHeights.resize(rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        std::size_t lines = 1;
        layout.cells[r].resize(columns);
        for (std::size_t c = 0; c < columns; ++c) {
            PrintCell& cell = layout.cells[r][c];
            const Wrapper wrapper(metrics, std::max(0.0, layout.columnWidths[c] - inset));
            cell.lines = wrapper.wrap(c < rows[r].size() ? rows[r][c] : kEmpty);
            cell.fill = cellFill(r, c, style);
            cell.textStyle = cellTextStyle(r, c, style);
            cell.alignment = alignment(c);
            lines = std::max(lines, cell.lines.size());
        }
        layout.rowHeights[r] =
            static_cast<double>(lines) * metrics.lineHeight + 2 * style.verticalPadding + style.borderWidth;
    }

    std::size_t pageIndex = startPage;
    double top = startTop;
    bool pageHasContent = startTop > 0;
    bool onlyHeader = false; // the page holds nothing but this table's header
    const double headerHeight = style.headerRow ? layout.rowHeights[0] : 0;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        double needed = layout.rowHeights[r];
        // The header goes with the first data row.
        if (r == 0 && style.headerRow && rows.size() > 1)
            needed += layout.rowHeights[1];
        // Moving on helps unless the page holds only the header and the row is too tall for any page.
        const bool fitsFreshPage = needed <= page.height - (r > 0 ? headerHeight : 0);
        if (top + needed > page.height && pageHasContent && !(onlyHeader && !fitsFreshPage)) {
            ++pageIndex;
            top = 0;
            onlyHeader = false;
            if (r > 0 && style.headerRow) {
                layout.placed.push_back({0, pageIndex, top});
                top += headerHeight;
                onlyHeader = true;
            }
        }
        layout.placed.push_back({r, pageIndex, top});
        top += layout.rowHeights[r];
        pageHasContent = true;
        onlyHeader = r == 0 && style.headerRow;
    }
    layout.lastPage = pageIndex;
    layout.endTop = top;
    return layout;
}

} // namespace tc::gui
