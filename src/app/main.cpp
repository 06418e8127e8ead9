#include "app/MainForm.h"
#include "ui/Icons.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Rollcall"));
    QApplication::setWindowIcon(rollcall::ui::Icon(1));

    rollcall::app::MainForm window;
    window.show();
    return QApplication::exec();
}
