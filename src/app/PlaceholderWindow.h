#pragma once

#include <QWidget>

namespace quillary {

// Stand-in window of each run mode until the real windows exist: says which
// mode runs and, for a document, its path and paper format.
class PlaceholderWindow : public QWidget {
    Q_OBJECT
public:
    explicit PlaceholderWindow(const QString& documentPath = {}, QWidget* parent = nullptr);
};

QString describePaperFormat(const QString& documentPath);

} // namespace quillary
