#include "dialogs/html_layout.h"

#include <algorithm>
#include <cstdint>

namespace quillon::html {

namespace {

enum class AtomKind : std::uint8_t { word, space, tab, line_break };

// The pieces a block's runs fall into before wrapping: a word may span runs
// ("bo<b>ld</b>"), and lines break only at spaces, tabs and line breaks.
struct Atom {
    AtomKind kind = AtomKind::word;
    std::wstring text;
    FontKey font;
    int link = -1;
};

FontKey block_font(const Block& block)
{
    FontKey key;
    if (block.kind == BlockKind::heading) {
        key.scale = heading_scale[static_cast<std::size_t>(std::clamp(block.level, 1, 6) - 1)];
        key.bold = true;
    }
    key.mono = block.kind == BlockKind::preformatted;
    return key;
}

std::vector<Atom> atoms_of(const Block& block, const FontKey& base, TextMeasure& measure)
{
    std::vector<Atom> atoms;
    for (const Run& run : block.runs) {
        if (run.line_break) {
            atoms.push_back(Atom{AtomKind::line_break, {}, base, -1});
            continue;
        }
        FontKey key = base;
        key.bold = key.bold || run.bold;
        key.italic = run.italic;
        key.underline = run.underline || run.link >= 0;
        std::wstring text = measure.widen(run.text);
        std::size_t at = 0;
        while (at < text.size()) {
            AtomKind kind = text[at] == L' ' ? AtomKind::space : text[at] == L'\t' ? AtomKind::tab : AtomKind::word;
            std::size_t end = at + 1;
            if (kind != AtomKind::tab)
                while (end < text.size() && (text[end] == L' ') == (kind == AtomKind::space) && text[end] != L'\t')
                    ++end;
            atoms.push_back(Atom{kind, text.substr(at, end - at), key, run.link});
            at = end;
        }
    }
    return atoms;
}

// The lines of one block as they are filled.
class LineFiller {
public:
    LineFiller(const Block& block, int left, int right, int top, TextMeasure& measure, std::vector<Piece>& pieces)
        : m_block(block), m_left(left), m_right(right), m_x(left), m_y(top), m_measure(measure), m_pieces(pieces),
          m_base(block_font(block)), m_base_metrics(measure.metrics(m_base)),
          m_keep_spaces(block.kind == BlockKind::preformatted),
          m_tab_width(std::max(8, m_base_metrics.average_width * 8))
    {
    }

    int fill(const std::vector<Atom>& atoms)
    {
        for (std::size_t i = 0; i < atoms.size();) {
            switch (atoms[i].kind) {
            case AtomKind::line_break: finish_line(); break;
            case AtomKind::tab: tab(); break;
            case AtomKind::space:
                if (m_line_has_text || m_keep_spaces)
                    place(atoms[i].text, atoms[i].font, atoms[i].link, width(atoms[i]));
                break;
            case AtomKind::word: i = word(atoms, i); continue;
            }
            ++i;
        }
        if (!m_line.empty() || m_first_line)
            finish_line();
        return m_y;
    }

private:
    int width(const Atom& atom) { return m_measure.width(atom.text, atom.font); }

    void place(std::wstring text, const FontKey& key, int link, int width)
    {
        Piece piece;
        piece.text = std::move(text);
        piece.font = key;
        piece.x = m_x;
        piece.width = width;
        piece.link = link;
        m_line.push_back(std::move(piece));
        m_x += width;
        m_line_has_text = true;
    }

    void tab()
    {
        int next_stop = m_left + ((m_x - m_left) / m_tab_width + 1) * m_tab_width;
        if (next_stop > m_right && m_line_has_text)
            finish_line();
        else
            m_x = next_stop;
    }

    // A word (the atoms up to the next space, tab or break) goes on this line
    // when it fits, else on the next; wider than a whole line, it is cut.
    std::size_t word(const std::vector<Atom>& atoms, std::size_t i)
    {
        std::size_t end = i;
        int word_width = 0;
        for (; end < atoms.size() && atoms[end].kind == AtomKind::word; ++end)
            word_width += width(atoms[end]);
        if (m_x + word_width > m_right && m_line_has_text)
            finish_line();
        if (m_x + word_width <= m_right) {
            for (; i < end; ++i)
                place(atoms[i].text, atoms[i].font, atoms[i].link, width(atoms[i]));
            return end;
        }
        for (; i < end; ++i)
            cut(atoms[i]);
        return end;
    }

    void cut(const Atom& atom)
    {
        std::wstring rest = atom.text;
        while (!rest.empty()) {
            int rest_width = m_measure.width(rest, atom.font);
            if (m_x + rest_width <= m_right) {
                place(rest, atom.font, atom.link, rest_width);
                return;
            }
            int fit = m_measure.fit(rest, atom.font, std::max(0, m_right - m_x));
            if (fit <= 0 && m_line_has_text) {
                finish_line();
                continue;
            }
            fit = std::clamp(fit, 1, static_cast<int>(rest.size()));
            std::wstring head = rest.substr(0, static_cast<std::size_t>(fit));
            int head_width = m_measure.width(head, atom.font);
            place(std::move(head), atom.font, atom.link, head_width);
            rest.erase(0, static_cast<std::size_t>(fit));
            finish_line();
        }
    }

    void finish_line()
    {
        while (!m_keep_spaces && !m_line.empty() && m_line.back().text.find_first_not_of(L' ') == std::wstring::npos)
            m_line.pop_back(); // spaces at a line end take no room
        if (m_first_line && m_block.kind == BlockKind::list_item) {
            Piece marker;
            marker.text = marker_text(m_block);
            marker.font = m_base;
            marker.width = m_measure.width(marker.text, m_base);
            marker.x = m_left - marker_gap - marker.width;
            m_line.insert(m_line.begin(), std::move(marker));
        }
        int ascent = m_base_metrics.ascent;
        int descent = m_base_metrics.descent;
        if (!m_line.empty()) {
            ascent = 0;
            descent = 0;
            for (const Piece& piece : m_line) {
                FontMetrics metrics = m_measure.metrics(piece.font);
                ascent = std::max(ascent, metrics.ascent);
                descent = std::max(descent, metrics.descent);
            }
        }
        int height = ascent + descent + m_base_metrics.external_leading;
        for (Piece& piece : m_line) {
            piece.line_top = m_y;
            piece.line_height = height;
            piece.text_top = m_y + ascent - m_measure.metrics(piece.font).ascent;
            m_pieces.push_back(std::move(piece));
        }
        m_line.clear();
        m_line_has_text = false;
        m_first_line = false;
        m_x = m_left;
        m_y += height;
    }

    const Block& m_block;
    int m_left;
    int m_right;
    int m_x;
    int m_y;
    TextMeasure& m_measure;
    std::vector<Piece>& m_pieces;
    FontKey m_base;
    FontMetrics m_base_metrics;
    bool m_keep_spaces;
    int m_tab_width;
    std::vector<Piece> m_line;
    bool m_line_has_text = false;
    bool m_first_line = true;
};

} // namespace

std::wstring marker_text(const Block& block)
{
    if (block.marker == ListMarker::number)
        return std::to_wstring(block.number) + L".";
    return L"\u2022";
}

int LayoutBlock(const Block& block, int left, int right, int top, TextMeasure& measure, std::vector<Piece>& pieces)
{
    LineFiller filler(block, left, right, top, measure, pieces);
    return filler.fill(atoms_of(block, block_font(block), measure));
}

} // namespace quillon::html
