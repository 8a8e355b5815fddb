#include "chart/ChartDiff.h"

#include <algorithm>
#include <cstddef>
#include <map>

namespace hourlink {

namespace {

// A 1-pixel pen covers the pixel at each vertex, which a polygon's bounding rectangle already holds. Drawn one
// logical pixel wide at ratios other than 1, its mitred corners reach up to one pixel further at a sharp
// corner or where a flat bar's outline turns back on itself, and a fractional ratio rounds by up to one more.
constexpr int kPenRoom = 2;
// Glyphs may stand a little outside their advance box (italic overhangs, negative bearings, and the font at
// device resolution hinted to slightly other widths than at 1×).
constexpr int kTextRoomX = 3;
constexpr int kTextRoomY = 1;

QRect Padded(const QRect& rect, int dx, int dy) {
    return rect.isEmpty() ? QRect() : rect.adjusted(-dx, -dy, dx, dy);
}

QRect Bounds(const ColorRect& rect) {
    return Padded(rect.rect, kPenRoom, kPenRoom);
}

// Adds the old and new bounds of every position at which the two lists differ.
template <class Item> void CompareInOrder(const std::vector<Item>& before, const std::vector<Item>& now, QRegion& out) {
    const std::size_t n = std::max(before.size(), now.size());
    for (std::size_t i = 0; i < n; ++i) {
        const Item* a = i < before.size() ? &before[i] : nullptr;
        const Item* b = i < now.size() ? &now[i] : nullptr;
        if (a != nullptr && b != nullptr && *a == *b) {
            continue;
        }
        if (a != nullptr) {
            out += Bounds(*a);
        }
        if (b != nullptr) {
            out += Bounds(*b);
        }
    }
}

// The same for elements that carry the point index they show: a label that vanishes does not shift the others.
template <class Item>
void CompareByIndex(const std::map<int, const Item*>& before, const std::map<int, const Item*>& now, QRegion& out) {
    for (const auto& [index, item] : before) {
        const auto match = now.find(index);
        if (match == now.end() || !(*match->second == *item)) {
            out += Bounds(*item);
        }
    }
    for (const auto& [index, item] : now) {
        const auto match = before.find(index);
        if (match == before.end() || !(*match->second == *item)) {
            out += Bounds(*item);
        }
    }
}

template <class Item> std::map<int, const Item*> ByIndex(const std::vector<Item>& items) {
    std::map<int, const Item*> map;
    for (const Item& item : items) {
        map.emplace(item.index, &item);
    }
    return map;
}

std::map<int, const TextItem*> BottomLabelsByIndex(const ChartLayout& layout) {
    std::map<int, const TextItem*> map;
    for (std::size_t i = 0; i < layout.bottomLabels.size() && i < layout.bottomLabelIndexes.size(); ++i) {
        map.emplace(layout.bottomLabelIndexes[i], &layout.bottomLabels[i]);
    }
    return map;
}

// What every element is drawn within or over: when one of these differs, nothing stays in place.
bool SameFrame(const ChartLayout& a, const ChartLayout& b) {
    if (a.size != b.size || a.front != b.front || a.depth != b.depth || a.slice != b.slice ||
        a.vertOffset != b.vertOffset || a.clip != b.clip || a.background != b.background || a.frame != b.frame ||
        a.walls != b.walls || a.series.size() != b.series.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.series.size(); ++i) {
        if (a.series[i].zFront != b.series[i].zFront || a.series[i].zBack != b.series[i].zBack) {
            return false;
        }
    }
    return true;
}

void CompareAxisLine(const std::optional<ColorRect>& a, const std::optional<ColorRect>& b, QRegion& out) {
    if (a == b) {
        return;
    }
    if (a) {
        out += Bounds(*a);
    }
    if (b) {
        out += Bounds(*b);
    }
}

} // namespace

QRect Bounds(const Face& face) {
    return Padded(face.polygon.boundingRect(), kPenRoom, kPenRoom);
}

QRect Bounds(const TextItem& text) {
    if (text.text.empty()) {
        return {};
    }
    // The font at device resolution is hinted to its own advances, which add up over a long text.
    return text.box.adjusted(-kTextRoomX, -kTextRoomY, kTextRoomX + text.box.width() / 8, kTextRoomY);
}

QRect Bounds(const LineItem& line) {
    return Padded(line.points.boundingRect(), kPenRoom, kPenRoom);
}

QRect Bounds(const BarItem& bar) {
    QRect r = Bounds(bar.side) | Bounds(bar.top) | Bounds(bar.front);
    if (bar.gradient) {
        r |= Padded(bar.gradient->rect, kPenRoom, kPenRoom);
    }
    return r;
}

QRect Bounds(const MarkItem& mark) {
    QRect r = Padded(QRect(mark.connector.p1(), mark.connector.p2()).normalized(), kPenRoom, kPenRoom);
    r |= Padded(mark.box, kPenRoom, kPenRoom);
    for (const TextItem& line : mark.lines) {
        r |= Bounds(line);
    }
    return r;
}

QRegion ChangedRegion(const ChartLayout& before, const ChartLayout& now) {
    const QRect panel(QPoint(0, 0), now.size);
    if (!SameFrame(before, now)) {
        return QRegion(panel);
    }
    QRegion changed;
    CompareInOrder(before.title, now.title, changed);
    CompareInOrder(before.grid, now.grid, changed);
    CompareAxisLine(before.leftAxisLine, now.leftAxisLine, changed);
    CompareAxisLine(before.bottomAxisLine, now.bottomAxisLine, changed);
    CompareInOrder(before.leftLabels, now.leftLabels, changed);
    CompareByIndex(BottomLabelsByIndex(before), BottomLabelsByIndex(now), changed);
    for (std::size_t i = 0; i < now.series.size(); ++i) {
        const SeriesDrawing& a = before.series[i];
        const SeriesDrawing& b = now.series[i];
        CompareByIndex(ByIndex(a.bars), ByIndex(b.bars), changed);
        CompareInOrder(a.ribbons, b.ribbons, changed);
        CompareByIndex(ByIndex(a.marks), ByIndex(b.marks), changed);
    }
    return changed & panel;
}

} // namespace hourlink
