#pragma once

// Two local people on one machine: the victim, who runs Quillary, and a
// colleague who shares a folder with them (the group "qy-office"). The
// tests run as root and act as either of them in a forked child that has
// dropped its privileges for good. The accounts are made on first use and
// kept: suites running side by side share them.

#include <QFile>
#include <QProcess>
#include <QString>

#include <functional>
#include <optional>

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace twousers {

struct Person {
    uid_t uid = 0;
    gid_t gid = 0;
    gid_t office = 0; // the group shared by both
};

struct People {
    Person victim, colleague;
};

inline bool ensureGroup(const char* name)
{
    if (::getgrnam(name))
        return true;
    QProcess::execute("groupadd", {QString::fromLatin1(name)});
    return ::getgrnam(name) != nullptr;
}

inline bool ensureUser(const char* name)
{
    if (::getpwnam(name))
        return true;
    QProcess::execute("useradd", {"-M", "-s", "/usr/sbin/nologin", QString::fromLatin1(name)});
    return ::getpwnam(name) != nullptr;
}

// The two accounts, or nothing with *why set (not root, no useradd).
inline std::optional<People> people(QString* why)
{
    if (::geteuid() != 0) {
        *why = QStringLiteral("two local users are needed: run the tests as root to act as each of them");
        return std::nullopt;
    }
    if (!ensureGroup("qy-office") || !ensureUser("qy-victim") || !ensureUser("qy-colleague")) {
        *why = QStringLiteral("could not create the accounts qy-victim and qy-colleague (useradd, groupadd)");
        return std::nullopt;
    }
    const gid_t office = ::getgrnam("qy-office")->gr_gid;
    const passwd* v = ::getpwnam("qy-victim");
    People p;
    p.victim = {v->pw_uid, v->pw_gid, office};
    const passwd* c = ::getpwnam("qy-colleague");
    p.colleague = {c->pw_uid, c->pw_gid, office};
    return p;
}

// Runs body as person in a child process; returns its result (0..255), or
// -1 when it did not end normally or could not drop to the person.
inline int as(const Person& person, const std::function<int()>& body)
{
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        const gid_t groups[] = {person.gid, person.office};
        if (::setgroups(2, groups) != 0 || ::setresgid(person.gid, person.gid, person.gid) != 0
            || ::setresuid(person.uid, person.uid, person.uid) != 0 || ::geteuid() != person.uid)
            ::_exit(125);
        ::_exit(body() & 0xff);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// chown for the test's own set-up, as root.
inline bool give(const QString& path, const Person& person, bool officeGroup = false)
{
    return ::lchown(QFile::encodeName(path).constData(), person.uid, officeGroup ? person.office : person.gid) == 0;
}

} // namespace twousers

#define QUILLARY_TWO_USERS(var)                                                                                        \
    QString twoUsersWhy;                                                                                               \
    const auto var = twousers::people(&twoUsersWhy);                                                                   \
    if (!var)                                                                                                          \
        QSKIP(qPrintable(twoUsersWhy));
