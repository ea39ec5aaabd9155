#pragma once

// A short manual: what templates are, how to make one, and how to print with it.

#include <QDialog>

namespace quillary {

class ManualWindow : public QDialog {
    Q_OBJECT
public:
    explicit ManualWindow(QWidget* parent = nullptr);
};

} // namespace quillary
