// korvane [--demo] [--app-dir DIR] [--lang ja|en]
#include <QApplication>
#include <QCommandLineParser>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/demo_mode.h"
#include "app/interface_language.h"
#include "app/main_controller.h"
#include "app/port_error_gate.h"
#include "app/ui/app_port_factory.h"
#include "app/ui/interface_language_ui.h"
#include "app/ui/main_window.h"
#include "app/ui/qt_executor.h"
#include "app/ui/qt_settings_store.h"
#include "app/ui/single_instance.h"
#include "comm/port_enumeration.h"
#include "common/clock.h"
#include "host/settings.h"
#include "host/ui/qt_prompter.h"
#include "host/ui/window_placement.h"

using namespace korvane;

int main(int argc, char* argv[]) {
    // Before QApplication: without a display it would abort before any option is read.
    const std::vector<std::string> args(argv, argv + argc);
    if (auto answer = AnswerWithoutDisplay(args)) {
        std::fputs(answer->text.c_str(), answer->toStandardError ? stderr : stdout);
        return answer->exitCode;
    }
    QApplication app(argc, argv);
    KeepWindowsInsideScreen(app);
    QApplication::setApplicationName(QString::fromUtf8(kAppTitle));
    QApplication::setOrganizationName(QString::fromUtf8(kSettingsCompany));

    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("Start on the simulated line with throw-away "
                                                 "settings."));
    const QCommandLineOption appDir(QStringLiteral("app-dir"),
                                    QStringLiteral("Application directory (Data, Log, Temp)."),
                                    QStringLiteral("DIR"));
    const QCommandLineOption lang(QStringLiteral("lang"),
                                  QStringLiteral("Language of the interface: ja or en."),
                                  QStringLiteral("ja|en"));
    parser.addOption(demo);
    parser.addOption(appDir);
    parser.addOption(lang);
    parser.process(app);

    const bool demoRun = IsDemoStart(args);
    SingleInstance instance(QStringLiteral("KVNE"));
    if (!demoRun && !instance.claim()) {
        std::fputs(kHandedOverText, stderr);
        return 0;
    }

    std::optional<std::string> dirOverride;
    if (parser.isSet(appDir)) dirOverride = parser.value(appDir).toStdString();
    std::optional<InstalledLayout> installed;
    if (auto data = InstalledDataDir(QCoreApplication::applicationDirPath().toStdString())) {
        installed = InstalledLayout{
            *data, QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toStdString()};
    }
    AppDirectories dirs = PrepareAppDirectories(dirOverride, installed);

    // A demo run keeps its settings and logs in a directory of its own that goes away with it,
    // so the user's own settings and files are never read or written.
    std::unique_ptr<QTemporaryDir> demoDir;
    std::unique_ptr<QtSettingsStore> store;
    if (demoRun) {
        demoDir = std::make_unique<QTemporaryDir>();
        dirs = DemoDirectories(dirs, demoDir->path().toStdString());
        store = std::make_unique<QtSettingsStore>(demoDir->filePath(QStringLiteral("demo.ini")));
        SeedDemoSettings(*store);
    } else {
        store = std::make_unique<QtSettingsStore>();
    }
    // Before any window: every text is looked up as it is shown.
    const std::optional<std::string> langOption = LanguageOption(args);
    const Language language =
        ChooseLanguage(langOption ? ParseLanguage(*langOption) : std::nullopt, *store,
                       [](const char* name) { return std::getenv(name); });
    SetLanguage(language);
    UseInterfaceLanguage(app, language);

    QtExecutor executor;
    QtPrompter prompter;
    SystemClock clock;
    const MainController* controllerForLine = nullptr;
    auto builtInLine = MakeBuiltInLine(controllerForLine, dirs.data);
    PortErrorGate portErrors(prompter);
    MainController controller(MainEnvironment{
        executor, *store, prompter, clock, MakeAppPortFactory(executor, portErrors, *builtInLine),
        dirs, BuildPortNameList()});
    controllerForLine = &controller;
    controller.SetPortErrorGate(&portErrors);
    MainWindow window(controller, *store, prompter);
    prompter.setParentWidget(&window);
    QObject::connect(&instance, &SingleInstance::raiseRequested, &window,
                     &MainWindow::bringToFront);

    window.restoreLayout();
    window.show();
    window.start();
    const int result = app.exec();
    // Tool windows closed at exit are deleted later; delete them now, while the controller whose
    // link and records they use still exists.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    store->sync();
    return result;
}
