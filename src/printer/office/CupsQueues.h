#pragma once

// The CUPS queues quillary-printer reads and changes, through libcups (for
// what it reads) and lpadmin and its siblings (for what it changes), both
// talking to the scheduler CUPS_SERVER names, or the system's.

#include "pdf/Result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace quillary::office {

struct QueueInfo {
    QString name;
    QString deviceUri;
    QString description; // printer-info
    bool shared = false;
    bool accepting = true;
};

// The queues the scheduler knows, with what quillary-printer needs of them.
QList<QueueInfo> queues();
std::optional<QueueInfo> queueNamed(const QString& name);

// A queue's PPD as the scheduler hands it out (for a driverless queue, the
// one CUPS made for it). Fails for a queue without one (a raw queue).
ValueResult<QByteArray> queuePpd(const QString& name);

// Runs an administration program (lpadmin, cupsenable, ...) and fails with
// its own words when it does.
Result runAdmin(const QString& program, const QStringList& arguments);

// Puts the queue under the scheduler's "authenticated" policy (jobs only from
// users the scheduler has identified). When the scheduler has no such
// policy the queue is left rejecting jobs, with a reason an administrator
// and every print dialog reads, and the result says so.
// Shared by every queue the package sets up.
Result applyAuthenticatedPolicy(const QString& queue);

} // namespace quillary::office
