// CTGroupBox: a group box that paints its own etched frame and caption; a disabled box shows
// its caption embossed. The main window's nine groups are of this kind.
#pragma once

#include <QGroupBox>

class CTGroupBox : public QGroupBox {
    Q_OBJECT

public:
    explicit CTGroupBox(QWidget* parent = nullptr);
    explicit CTGroupBox(const QString& title, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
