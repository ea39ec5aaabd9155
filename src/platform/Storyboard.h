#pragma once

// The application's scenes by identifier ("Splash", "About", "template",
// "configController", "Edit"), so that controllers create each other by name
// as the windows are wired, without the lower layers knowing the classes of
// the upper ones. Each layer registers its scenes once at start (the
// application in main, tests in their init).

#include <QObject>
#include <QString>

#include <functional>

namespace quillary {

class Storyboard {
public:
    using Creator = std::function<QObject*()>;

    // Replaces an earlier registration of the same identifier.
    static void registerScene(const QString& identifier, Creator creator);
    // A new instance of the scene, owned by the caller; nullptr when no scene
    // of that identifier is registered.
    static QObject* instantiate(const QString& identifier);
    template <class T>
    static T* instantiateAs(const QString& identifier)
    {
        QObject* object = instantiate(identifier);
        T* typed = qobject_cast<T*>(object);
        if (!typed)
            delete object;
        return typed;
    }
};

} // namespace quillary
