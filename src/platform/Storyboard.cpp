#include "platform/Storyboard.h"

#include <QHash>

namespace quillary {

namespace {

QHash<QString, Storyboard::Creator>& scenes()
{
    static QHash<QString, Storyboard::Creator> registry;
    return registry;
}

} // namespace

void Storyboard::registerScene(const QString& identifier, Creator creator)
{
    scenes().insert(identifier, std::move(creator));
}

QObject* Storyboard::instantiate(const QString& identifier)
{
    const auto it = scenes().constFind(identifier);
    return it == scenes().cend() ? nullptr : (*it)();
}

} // namespace quillary
