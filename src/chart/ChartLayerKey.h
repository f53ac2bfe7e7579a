// ChartLayerKey: the values a chart's background layer (background, title, axes, grid and
// frame) is drawn from. Two layers drawn from equal keys have the same pixels, so the chart
// draws its layer again only when the key changes, not when only the series did.
#pragma once

#include <QString>
#include <bit>
#include <concepts>
#include <cstdint>
#include <vector>

namespace qtmchart {

class ChartLayerKey {
public:
    // Numbers go in by their bits: a NaN range matches itself, and -0 is not taken for 0
    // (the tick labels would show the sign).
    ChartLayerKey& Add(double value) {
        m_numbers.push_back(std::bit_cast<std::uint64_t>(value));
        return *this;
    }
    template <std::integral T>
    ChartLayerKey& Add(T value) {
        m_numbers.push_back(static_cast<std::uint64_t>(value));
        return *this;
    }
    ChartLayerKey& Add(const QString& text) {
        m_texts.push_back(text);
        return *this;
    }

    // Empties the key, keeping its room for the next pass.
    void Clear() {
        m_numbers.clear();
        m_texts.clear();
    }
    bool IsEmpty() const { return m_numbers.empty() && m_texts.empty(); }
    bool operator==(const ChartLayerKey&) const = default;

private:
    std::vector<std::uint64_t> m_numbers;
    std::vector<QString> m_texts;
};

}  // namespace qtmchart
