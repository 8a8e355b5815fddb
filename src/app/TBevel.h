#pragma once

#include <QWidget>

namespace hourlink {

// An etched line along the bottom edge of its box, separating groups of controls.
class TBevel final : public QWidget {
public:
    explicit TBevel(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace hourlink
