#include "controls/Stepper.h"

#include <QToolButton>
#include <QVBoxLayout>

namespace quillary {

Stepper::Stepper(QWidget* parent)
    : QWidget(parent)
    , up(new QToolButton(this))
    , down(new QToolButton(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (auto [button, arrow] : {std::pair{up, Qt::UpArrow}, std::pair{down, Qt::DownArrow}}) {
        button->setArrowType(arrow);
        button->setAutoRepeat(true);
        button->setFixedSize(18, 12);
        button->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(button);
    }
    connect(up, &QToolButton::clicked, this, [this] { emit stepped(1); });
    connect(down, &QToolButton::clicked, this, [this] { emit stepped(-1); });
    setNames(tr("Up"), tr("Down"));
}

void Stepper::setNames(const QString& upName, const QString& downName)
{
    up->setAccessibleName(upName);
    up->setToolTip(upName);
    down->setAccessibleName(downName);
    down->setToolTip(downName);
}

} // namespace quillary
