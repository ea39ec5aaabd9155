#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace quillary {

// Every modal interaction and every effect outside the process goes through
// here, so that tests can install a recording fake and never block on a real
// dialog or end the test process.
class Ui {
public:
    virtual ~Ui() = default;

    // A modal alert with one "OK" button, informational style.
    virtual void alert(QWidget* parent, const QString& title, const QString& text) = 0;
    // Opens a file with the desktop's default application.
    virtual bool openFile(const QString& path) = 0;
    // Starts a program detached from this process.
    virtual bool startDetached(const QString& program, const QStringList& arguments) = 0;
    // Ends the process with the status.
    virtual void exitProcess(int status) = 0;

    // The installed implementation (the real one unless a test installed a fake).
    static Ui& instance();
    // Installs an implementation; the caller keeps ownership. nullptr restores the real one.
    static void install(Ui* ui);
};

// The real implementation: QMessageBox, QDesktopServices, QProcess, std::exit.
class DesktopUi : public Ui {
public:
    void alert(QWidget* parent, const QString& title, const QString& text) override;
    bool openFile(const QString& path) override;
    bool startDetached(const QString& program, const QStringList& arguments) override;
    void exitProcess(int status) override;
};

} // namespace quillary
