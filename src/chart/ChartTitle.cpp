#include "chart/ChartTitle.h"

namespace hourlink {

void TChartTitle::TLines::Clear() {
    m_lines.clear();
    if (m_onChange) {
        m_onChange();
    }
}

void TChartTitle::TLines::Add(const std::string& line) {
    m_lines.push_back(line);
    if (m_onChange) {
        m_onChange();
    }
}

void TChartTitle::SetAlignment(TAlignment alignment) {
    m_alignment = alignment;
    if (m_text.m_onChange) {
        m_text.m_onChange();
    }
}

void TChartTitle::SetFontColor(TColor color) {
    m_fontColor = color;
    if (m_text.m_onChange) {
        m_text.m_onChange();
    }
}

void TChartTitle::SetChangeHandler(std::function<void()> handler) {
    m_text.m_onChange = std::move(handler);
}

} // namespace hourlink
