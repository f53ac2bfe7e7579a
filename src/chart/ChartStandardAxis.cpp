#include "chart/ChartStandardAxis.h"

#include <cmath>

CChartStandardAxis::CChartStandardAxis()
    : CChartAxis(), m_dFirstTickValue(0.0), m_dTickIncrement(1.0), m_uDecCount(0) {}

CChartStandardAxis::~CChartStandardAxis() = default;

double CChartStandardAxis::GetFirstTickValue() const {
    return m_bDiscrete ? m_dFirstTickValue - m_dTickIncrement : m_dFirstTickValue;
}

bool CChartStandardAxis::GetNextTickValue(double current, double& next) const {
    if (m_dTickIncrement == 0.0) return false;
    next = current + m_dTickIncrement;
    return next <= m_MaxValue;
}

int CChartStandardAxis::GetTickPos(double value) const {
    return ValueToScreenStandard(value);
}

int CChartStandardAxis::ValueToScreenDiscrete(double value) const {
    return qtmchart::ValueToScreenDiscrete(Scale(), value, m_dTickIncrement);
}

QString CChartStandardAxis::GetTickLabel(double value) const {
    return qtmchart::FormatTickLabel(value, m_uDecCount);
}

void CChartStandardAxis::RefreshTickIncrement() {
    if (!m_bAutoTicks) return;
    const qtmchart::TickStep step =
        qtmchart::ComputeTickIncrement(Scale(), qtmchart::TickStep{m_dTickIncrement, m_uDecCount});
    m_dTickIncrement = step.increment;
    m_uDecCount = step.decimals;
}

void CChartStandardAxis::RefreshFirstTick() {
    m_dFirstTickValue = qtmchart::ComputeFirstTick(m_MinValue, m_dTickIncrement);
}

void CChartStandardAxis::AddToLayerKey(qtmchart::ChartLayerKey& key) const {
    CChartAxis::AddToLayerKey(key);
    // An automatic step follows from the range and the axis's length on every pass.
    if (!m_bAutoTicks) key.Add(m_dTickIncrement).Add(m_uDecCount);
}

void CChartStandardAxis::SetTickIncrement(bool automatic, double increment) {
    m_bAutoTicks = automatic;
    if (!automatic) {
        m_dTickIncrement = increment;
        // Enough decimals to show the fixed step itself (0.25 needs two).
        unsigned decimals = 0;
        double scaled = increment;
        while (decimals < 10 && std::fabs(scaled - std::round(scaled)) > 1e-6) {
            scaled *= 10;
            ++decimals;
        }
        m_uDecCount = decimals;
    }
    RefreshCtrl();
}
