#include "platform/AlertBox.h"

#include "platform/NamedImage.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QTreeView>

namespace quillary {

QIcon alertIcon(AlertKind kind)
{
    switch (kind) {
    case AlertKind::Error:
        return QIcon::fromTheme(QStringLiteral("dialog-error"), namedImage(QStringLiteral("alert-error")));
    case AlertKind::Warning:
        return QIcon::fromTheme(QStringLiteral("dialog-warning"), namedImage(QStringLiteral("alert-warning")));
    case AlertKind::Information:
        break;
    }
    return QIcon::fromTheme(QStringLiteral("dialog-information"), namedImage(QStringLiteral("alert-information")));
}

void setUpAlertBox(QMessageBox& box, AlertKind kind, const QString& title, const QString& text)
{
    box.setWindowTitle(title);
    box.setTextFormat(Qt::PlainText);
    box.setText(title);
    box.setInformativeText(text);
    box.setIconPixmap(alertIcon(kind).pixmap(QSize(48, 48), box.devicePixelRatioF()));
    // The first line says what happened: bold, as desktop alerts have it.
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
    }
}

void fitFileDialogColumns(QFileDialog& dialog)
{
    auto fit = [&dialog] {
        auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
        if (!view || !view->header())
            return;
        for (int column = 0; column < view->header()->count(); ++column)
            view->resizeColumnToContents(column);
    };
    QObject::connect(&dialog, &QFileDialog::directoryEntered, &dialog, fit);
    if (auto* model = dialog.findChild<QFileSystemModel*>())
        QObject::connect(model, &QFileSystemModel::directoryLoaded, &dialog, fit);
    fit();
}

} // namespace quillary
