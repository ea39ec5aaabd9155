#include "app/AppController.h"
#include "app/PlaceholderWindow.h"
#include "app/ProcessEntry.h"
#include "preview/PreviewScenes.h"

#include <QApplication>
#include <QScreen>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

using namespace quillary;

int main(int argc, char* argv[])
{
    // Taken before QApplication strips its own options, so the echo is complete.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillary"));
    QApplication::setApplicationVersion(QStringLiteral(QUILLARY_VERSION));
    QApplication::setOrganizationDomain(QStringLiteral("quillary.app"));

    // Translations first: the store names its default template in the user's language.
    QTranslator translator;
    if (translator.load(QLocale(), QStringLiteral("quillary"), QStringLiteral("_"),
                        QStringLiteral(":/quillary/translations")))
        QApplication::installTranslator(&translator);

    const RunMode mode = prepareProcess(arguments);

    if (mode == RunMode::PrintService) {
        registerPreviewScenes();
        QApplication::setQuitOnLastWindowClosed(true);
        AppController controller(arguments.at(1));
        controller.applicationDidFinishLaunching();
        return app.exec();
    }

    PlaceholderWindow window;
    window.show();
    // Centred on its screen, as the real windows will be.
    if (QScreen* screen = window.screen()) {
        const QRect area = screen->geometry();
        window.move(area.x() + (area.width() - window.frameGeometry().width()) / 2,
                    area.y() + (area.height() - window.frameGeometry().height()) / 2);
    }
    QApplication::setQuitOnLastWindowClosed(true);
    app.exec();
    return 0;
}
