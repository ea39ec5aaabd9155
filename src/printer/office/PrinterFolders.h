#pragma once

// The folders that hold each letterhead printer's stationery:
// ROOT/NAME/{start,continuation,terms}.pdf, root's own and readable by all
// (the stamping step runs as cupsd's unprivileged filter user). ROOT is
// /var/lib/quillary/printers, or $QUILLARY_PRINTERS_ROOT (for tests).
//
// Every change goes through the root folder opened once: a new set is
// written into a staging folder beside the printer's and then swapped in
// with one rename, so a job never sees half a set.

#include "pdf/Result.h"
#include "printer/office/StationerySource.h"

#include <QString>

namespace quillary::office {

QString printersRoot();

class PrinterFolders {
public:
    // Opens (and makes, when missing) the root folder; fails when it is not a
    // folder only root may change.
    static ValueResult<std::shared_ptr<PrinterFolders>> open(const QString& root);
    ~PrinterFolders();
    PrinterFolders(const PrinterFolders&) = delete;
    PrinterFolders& operator=(const PrinterFolders&) = delete;

    QString root() const { return rootPath; }
    QString folderOf(const QString& name) const { return rootPath + QLatin1Char('/') + name; }
    bool exists(const QString& name) const;

    // Writes page 1 of each stationery file into a new staging folder; the
    // staging folder's name. Nothing is left behind on failure.
    ValueResult<QString> stage(const QString& name, const Stationery& stationery);
    // Puts a staged set in place as name's folder: a new one, or in exchange
    // for the one there (which is then removed).
    Result install(const QString& staged, const QString& name);
    // Removes a printer's folder (or a staging folder) and what it holds.
    Result remove(const QString& name);
    // The stationery files name's folder holds ("start", "continuation", "terms").
    QStringList filesOf(const QString& name) const;

private:
    explicit PrinterFolders(int fd, QString path) : rootFd(fd), rootPath(std::move(path)) {}
    int rootFd;
    QString rootPath;
};

} // namespace quillary::office
