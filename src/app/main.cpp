#include "app/vantryapp.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"

#include <QApplication>

int main(int argc, char** argv) {
    // The preferences are loaded before the application starts and written back once, when
    // the program ends normally.
    SingletonPtr<UserDefinedSettings> settings;
    int result = 0;
    {
        QApplication application(argc, argv);
        QApplication::setOrganizationName(QStringLiteral("Kestrin"));
        QApplication::setApplicationName(QStringLiteral("Vantry"));
        CVantryApp app;
        QStringList arguments = QApplication::arguments();
        arguments.removeFirst();
        if (!app.InitInstance(arguments))
            return 1;
        result = QApplication::exec();
    }
    return result;
}
