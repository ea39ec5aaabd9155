// Password preparation for AES-256 with ICU's SASLprep profile.

#include "pdf/Password.h"

#include <unicode/usprep.h>

#include <memory>
#include <vector>

namespace quillary {

namespace {

struct ProfileCloser {
    void operator()(UStringPrepProfile* profile) const { usprep_close(profile); }
};

ValueResult<std::string> refused(const QString& why)
{
    return Result::failure(ErrorCode::InvalidInput, why);
}

QString roleName(PasswordRole role)
{
    return role == PasswordRole::User ? QStringLiteral("the password") : QStringLiteral("the owner password");
}

} // namespace

ValueResult<std::string> preparePassword(const QString& password)
{
    if (password.isEmpty())
        return ValueResult<std::string>::of({});

    UErrorCode status = U_ZERO_ERROR;
    // ICU caches the profile's data; opening it per call is cheap and keeps
    // the function free of shared state.
    const std::unique_ptr<UStringPrepProfile, ProfileCloser> profile(
        usprep_openByType(USPREP_RFC4013_SASLPREP, &status));
    if (U_FAILURE(status))
        return refused(QStringLiteral("passwords cannot be prepared (%1)").arg(QLatin1String(u_errorName(status))));

    const auto* source = reinterpret_cast<const UChar*>(password.utf16());
    std::vector<UChar> prepared(static_cast<size_t>(password.size()) * 2 + 16);
    UParseError where{};
    int32_t length = usprep_prepare(profile.get(), source, static_cast<int32_t>(password.size()), prepared.data(),
                                    static_cast<int32_t>(prepared.size()), USPREP_ALLOW_UNASSIGNED, &where, &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        status = U_ZERO_ERROR;
        prepared.resize(static_cast<size_t>(length));
        length = usprep_prepare(profile.get(), source, static_cast<int32_t>(password.size()), prepared.data(),
                                static_cast<int32_t>(prepared.size()), USPREP_ALLOW_UNASSIGNED, &where, &status);
    }
    switch (status) {
    case U_ZERO_ERROR:
    case U_STRING_NOT_TERMINATED_WARNING:
        break;
    case U_STRINGPREP_PROHIBITED_ERROR:
    case U_INVALID_CHAR_FOUND:
        return refused(QStringLiteral("it holds a character a password may not contain "
                                      "(a control, private-use, unpaired or non-character code)"));
    case U_STRINGPREP_CHECK_BIDI_ERROR:
        return refused(QStringLiteral("it mixes right-to-left and left-to-right text, or starts or ends "
                                      "right-to-left text with a neutral character"));
    default:
        return refused(QStringLiteral("it cannot be prepared (%1)").arg(QLatin1String(u_errorName(status))));
    }

    // The profile normalises with the tables of its own Unicode version;
    // characters that came later reach the file normalised all the same.
    const QString text = QString(reinterpret_cast<const QChar*>(prepared.data()), length)
                             .normalized(QString::NormalizationForm_KC);
    return ValueResult<std::string>::of(text.toUtf8().toStdString());
}

PreparedPasswords preparePasswords(const std::optional<QString>& user, const std::optional<QString>& owner)
{
    PreparedPasswords result;
    PasswordRule broken = PasswordRule::None;
    auto fail = [&result, &broken](PasswordRole role, const QString& why) {
        static_cast<Result&>(result) = Result::failure(ErrorCode::InvalidInput, roleName(role) + QStringLiteral(": ") + why);
        result.refused = role;
        result.rule = broken;
        result.user.clear();
        result.owner.clear();
        return result;
    };
    // Prepared bytes of one password, or the reason it is refused.
    auto prepare = [&broken](const QString& typed, std::string* bytes) -> QString {
        const ValueResult<std::string> prepared = preparePassword(typed);
        if (!prepared) {
            broken = prepared.error.startsWith(QLatin1String("it holds a character")) ? PasswordRule::Character
                : prepared.error.startsWith(QLatin1String("it mixes"))                ? PasswordRule::Direction
                                                                                      : PasswordRule::Other;
            return prepared.error;
        }
        broken = prepared.value->empty() ? PasswordRule::OnlyDropped : PasswordRule::TooLong;
        if (prepared.value->empty())
            return QStringLiteral("it holds only characters that are dropped (soft hyphens, zero-width "
                                  "characters), so the file would open without one");
        if (prepared.value->size() > static_cast<size_t>(kMaxPasswordBytes))
            return QStringLiteral("it is %1 bytes long once prepared as UTF-8; AES-256 keeps at most %2")
                .arg(prepared.value->size())
                .arg(kMaxPasswordBytes);
        *bytes = *prepared.value;
        return {};
    };

    if (user) {
        // A protected file that any reader opens without a password would be a lie.
        if (user->isEmpty() && ((broken = PasswordRule::Missing), true))
            return fail(PasswordRole::User, QStringLiteral("none was given to protect the file"));
        if (const QString why = prepare(*user, &result.user); !why.isEmpty())
            return fail(PasswordRole::User, why);
    }
    if (owner && !owner->isEmpty()) {
        if (const QString why = prepare(*owner, &result.owner); !why.isEmpty())
            return fail(PasswordRole::Owner, why);
        if (result.owner == result.user && ((broken = PasswordRule::SameAsUser), true))
            return fail(PasswordRole::Owner, QStringLiteral("it is the same as the password once prepared "
                                                            "(Unicode normalisation, soft hyphens dropped), so the "
                                                            "file would open with full rights"));
    }
    return result;
}

PreparedPasswords preparePasswords(const SaveOptionsMap& options)
{
    const bool withPassword = options.value(SaveOptions::WITH_PASSWORD, false).toBool();
    const bool allowPrint = options.value(SaveOptions::ALLOW_PRINT, true).toBool();
    // The owner password is read only where it has a meaning: with printing
    // forbidden. An empty one means none was chosen.
    const std::optional<QString> user =
        withPassword ? std::optional(options.value(SaveOptions::PASSWORD).toString()) : std::nullopt;
    const std::optional<QString> owner = !allowPrint && options.contains(SaveOptions::OWNER_PASSWORD)
        ? std::optional(options.value(SaveOptions::OWNER_PASSWORD).toString())
        : std::nullopt;
    return preparePasswords(user, owner);
}

} // namespace quillary
