// Document information and security of merged files.

#include "pdf/Password.h"
#include "pdf/PdfContext.h"
#include "pdf/TaskManager.h"

#include <QRandomGenerator>

namespace quillary {

namespace {

// Never empty: an empty owner password would open the file with full rights.
std::string randomOwnerPassword()
{
    quint32 words[8];
    QRandomGenerator::system()->fillRange(words);
    return QByteArray(reinterpret_cast<const char*>(words), sizeof words).toHex().toStdString();
}

} // namespace

std::unique_ptr<PdfContext> TaskManager::createPdfContext(const QString& outputPath,
                                                          const SaveOptionsMap& options,
                                                          const QRectF& mediaBox, Result* error,
                                                          std::shared_ptr<PdfSource> base)
{
    auto fail = [&](const QString& why) -> std::unique_ptr<PdfContext> {
        if (error)
            *error = Result::failure(ErrorCode::InvalidInput, QStringLiteral("%1: %2").arg(outputPath, why));
        return nullptr;
    };

    auto context = std::make_unique<PdfContext>(outputPath, mediaBox, std::move(base));
    context->setInformation("Creator", QStringLiteral("Quillary"));
    // Present keys give entries even when empty; absent keys give none.
    if (options.contains(SaveOptions::AUTHOR))
        context->setInformation("Author", options.value(SaveOptions::AUTHOR).toString());
    if (options.contains(SaveOptions::TITLE))
        context->setInformation("Title", options.value(SaveOptions::TITLE).toString());

    // Every caller supplies both flags; without them the file is written plain.
    const bool withPassword = options.value(SaveOptions::WITH_PASSWORD, false).toBool();
    const bool allowPrint = options.value(SaveOptions::ALLOW_PRINT, true).toBool();

    const bool withOwner = !allowPrint && options.contains(SaveOptions::OWNER_PASSWORD);
    const PreparedPasswords passwords = preparePasswords(options);
    if (!passwords)
        return fail(passwords.error);

    // An owner password entry, even an empty one, asks for protection; without
    // one (the page images' scratch files) the file stays plain.
    PdfSecurity security;
    security.encrypt = withPassword || withOwner;
    security.userPassword = passwords.user;
    security.ownerPassword = passwords.owner;
    if (!allowPrint) {
        // Without an owner password a file with a user password still stays
        // encrypted: dropping the encryption would drop the user password too.
        security.allowPrinting = false;
        security.allowCopying = false;
    }
    if (security.encrypt && security.ownerPassword.empty())
        security.ownerPassword = randomOwnerPassword();
    context->setSecurity(std::move(security));
    return context;
}

} // namespace quillary
