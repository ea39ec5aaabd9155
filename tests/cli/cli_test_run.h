#pragma once

// quillary-stamp run as a program, with a home (and so a template store) of
// its own in a temporary folder.

#include <QDir>
#include <QProcess>
#include <QStringList>

#include <memory>

namespace clitest {

struct Ran {
    int exitCode = -1; // -1: did not end normally
    QString out, err;
};

class Tool {
public:
    // Runs in folder, with HOME and the XDG folders inside it.
    explicit Tool(QString folder) : folder(std::move(folder)) {}

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", folder);
        env.insert("XDG_DATA_HOME", QDir(folder).filePath("data"));
        env.insert("XDG_CONFIG_HOME", QDir(folder).filePath("config"));
        return env;
    }

    // Started and left running; the caller waits for it.
    std::unique_ptr<QProcess> start(const QStringList& arguments, const QString& program = QUILLARY_STAMP_BINARY) const
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(environment());
        process->setWorkingDirectory(folder);
        process->start(program, arguments);
        process->waitForStarted();
        return process;
    }

    Ran run(const QStringList& arguments, const QByteArray& input = {}) const
    {
        const auto process = start(arguments);
        process->write(input);
        process->closeWriteChannel();
        return finish(*process);
    }

    static Ran finish(QProcess& process, int timeoutMs = 120000)
    {
        Ran ran;
        if (process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit)
            ran.exitCode = process.exitCode();
        ran.out = QString::fromUtf8(process.readAllStandardOutput());
        ran.err = QString::fromUtf8(process.readAllStandardError());
        return ran;
    }

private:
    QString folder;
};

} // namespace clitest
