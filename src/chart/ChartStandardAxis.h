// The numeric axis used for every position of the chart: round ticks on the 1-2-5 ladder,
// labels in fixed notation with as many decimals as the increment needs.
#pragma once

#include "chart/ChartAxis.h"

class CChartStandardAxis : public CChartAxis {
public:
    CChartStandardAxis();
    ~CChartStandardAxis() override;

    double GetFirstTickValue() const override;
    bool GetNextTickValue(double current, double& next) const override;
    int GetTickPos(double value) const override;
    int ValueToScreenDiscrete(double value) const override;
    QString GetTickLabel(double value) const override;
    void RefreshTickIncrement() override;
    void RefreshFirstTick() override;
    void AddToLayerKey(qtmchart::ChartLayerKey& key) const override;

    // A fixed increment (used while automatic ticks are off).
    void SetTickIncrement(bool automatic, double increment);
    double GetTickIncrement() const { return m_dTickIncrement; }
    unsigned GetDecimals() const { return m_uDecCount; }
    double GetFirstTick() const { return m_dFirstTickValue; }

private:
    double m_dFirstTickValue;
    double m_dTickIncrement;
    unsigned m_uDecCount;
};
