#include "templates/TemplateListAccessibility.h"

#include "templates/TemplateRowView.h"
#include "templates/TemplateViewController.h"

#include <QAccessibleWidget>
#include <QLabel>

namespace quillary {

namespace {

class RowAccessible : public QAccessibleWidget {
public:
    explicit RowAccessible(TemplateRowView* row)
        : QAccessibleWidget(row, QAccessible::ListItem)
    {
    }

    TemplateRowView* row() const { return static_cast<TemplateRowView*>(widget()); }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return row()->name();
        if (t == QAccessible::Description)
            return QStringList{row()->dateField()->text(), row()->formatField()->text()}.join(QStringLiteral(", "));
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.selectable = true;
        s.selected = row()->isSelected();
        return s;
    }

    QStringList actionNames() const override
    {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& name) override
    {
        if (name == pressAction())
            row()->select();
        else
            QAccessibleWidget::doAction(name);
    }
};

QAccessibleInterface* factory(const QString& className, QObject* object)
{
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget)
        return nullptr;
    if (className == QLatin1String("quillary::TemplateRowView"))
        return new RowAccessible(static_cast<TemplateRowView*>(widget));
    if (className == QLatin1String("quillary::TemplateRowsHost"))
        return new QAccessibleWidget(widget, QAccessible::List, TemplateViewController::tr("Templates"));
    return nullptr;
}

} // namespace

void installTemplateListAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace quillary
