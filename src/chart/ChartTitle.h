#pragma once

#include <functional>
#include <string>
#include <vector>

#include "chart/ChartColor.h"

namespace hourlink {

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

// The title lines above the plot, drawn top to bottom. Every change tells the owning chart.
class TChartTitle {
public:
    // The lines of Title.Text.
    class TLines {
    public:
        void Clear();
        void Add(const std::string& line);
        [[nodiscard]] int Count() const { return static_cast<int>(m_lines.size()); }
        [[nodiscard]] const std::vector<std::string>& Lines() const { return m_lines; }

    private:
        friend class TChartTitle;
        std::vector<std::string> m_lines;
        std::function<void()> m_onChange;
    };

    [[nodiscard]] TLines& Text() { return m_text; }
    [[nodiscard]] const TLines& Text() const { return m_text; }
    [[nodiscard]] TAlignment Alignment() const { return m_alignment; }
    void SetAlignment(TAlignment alignment);
    [[nodiscard]] TColor FontColor() const { return m_fontColor; }
    void SetFontColor(TColor color);

    void SetChangeHandler(std::function<void()> handler);

private:
    TLines m_text;
    TAlignment m_alignment = TAlignment::taCenter;
    TColor m_fontColor = clBlue;
};

} // namespace hourlink
