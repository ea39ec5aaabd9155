// Document information and security of merged files.

#include "pdf/PdfContext.h"
#include "pdf/TaskManager.h"

#include <QRandomGenerator>

namespace quillary {

namespace {

bool mappedToNothing(char32_t c)
{
    return c == 0x00AD || c == 0x034F || c == 0x1806 || (c >= 0x180B && c <= 0x180D)
        || (c >= 0x200B && c <= 0x200D) || c == 0x2060 || (c >= 0xFE00 && c <= 0xFE0F)
        || c == 0xFEFF;
}

bool nonAsciiSpace(char32_t c)
{
    return c == 0x00A0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F
        || c == 0x205F || c == 0x3000;
}

bool prohibited(char32_t c)
{
    return c < 0x20 || c == 0x7F                                     // ASCII controls
        || (c >= 0x80 && c <= 0x9F) || c == 0x06DD || c == 0x070F    // other controls
        || c == 0x180E || (c >= 0x200E && c <= 0x200F) || (c >= 0x2028 && c <= 0x202E)
        || (c >= 0x2061 && c <= 0x2063) || (c >= 0x206A && c <= 0x206F)
        || (c >= 0xFFF9 && c <= 0xFFFD) || (c >= 0x1D173 && c <= 0x1D17A)
        || (c >= 0xE000 && c <= 0xF8FF) || (c >= 0xF0000 && c <= 0xFFFFD) // private use
        || (c >= 0x100000 && c <= 0x10FFFD)
        || (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE      // non-characters
        || (c >= 0xD800 && c <= 0xDFFF)                                // surrogates
        || (c >= 0x2FF0 && c <= 0x2FFB) || c == 0x0340 || c == 0x0341
        || c == 0xE0001 || (c >= 0xE0020 && c <= 0xE007F) || c > 0x10FFFF;
}

// Never empty: an empty owner password would open the file with full rights.
std::string randomOwnerPassword()
{
    quint32 words[8];
    QRandomGenerator::system()->fillRange(words);
    return QByteArray(reinterpret_cast<const char*>(words), sizeof words).toHex().toStdString();
}

} // namespace

std::optional<std::string> preparePassword(const QString& password, QString* error)
{
    if (password.isEmpty())
        return std::string();
    QString mapped;
    for (char32_t c : password.toUcs4()) {
        if (mappedToNothing(c))
            continue;
        if (nonAsciiSpace(c))
            c = U' ';
        mapped.append(QString::fromUcs4(&c, 1));
    }
    const QString normalised = mapped.normalized(QString::NormalizationForm_KC);
    for (char32_t c : normalised.toUcs4()) {
        if (prohibited(c)) {
            if (error)
                *error = QStringLiteral("the password contains a character that cannot be used (U+%1)")
                             .arg(QString::number(static_cast<uint>(c), 16).toUpper().rightJustified(4, QLatin1Char('0')));
            return std::nullopt;
        }
    }
    if (!normalised.isEmpty() && normalised.toUtf8().isEmpty()) {
        if (error)
            *error = QStringLiteral("the password cannot be encoded");
        return std::nullopt;
    }
    return normalised.toUtf8().toStdString();
}

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

    PdfSecurity security;
    QString why;
    if (withPassword) {
        const QString password = options.value(SaveOptions::PASSWORD).toString();
        // A protected file that any reader opens without a password would be a
        // lie; refuse instead of writing it.
        if (password.isEmpty())
            return fail(QStringLiteral("no password was given to protect the file"));
        auto prepared = preparePassword(password, &why);
        if (!prepared)
            return fail(why);
        security.encrypt = true;
        security.userPassword = *prepared;
    }
    if (!allowPrint) {
        security.allowPrinting = false;
        security.allowCopying = false;
        if (options.contains(SaveOptions::OWNER_PASSWORD)) {
            auto prepared = preparePassword(options.value(SaveOptions::OWNER_PASSWORD).toString(), &why);
            if (!prepared)
                return fail(QStringLiteral("owner password: %1").arg(why));
            security.encrypt = true;
            security.ownerPassword = *prepared;
        }
        // Without an owner password a file with a user password still stays
        // encrypted: dropping the encryption would drop the user password too.
    }
    if (security.encrypt && security.ownerPassword.empty())
        security.ownerPassword = randomOwnerPassword();
    context->setSecurity(std::move(security));
    return context;
}

} // namespace quillary
