#include "platform/CharacterPalette.h"

#include "platform/Ui.h"

#include <QStandardPaths>
#include <QStringList>

namespace quillary {

bool showCharacterPalette()
{
#ifdef Q_OS_MACOS
    return false; // the system's own palette is reached through the Edit menu there
#else
    for (const QString& program : {QStringLiteral("gnome-characters"), QStringLiteral("gucharmap"),
                                   QStringLiteral("kcharselect")}) {
        const QString found = QStandardPaths::findExecutable(program);
        if (!found.isEmpty())
            return Ui::instance().startDetached(found, {});
    }
    return false;
#endif
}

} // namespace quillary
