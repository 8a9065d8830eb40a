#include "src/quorval.h"

#include <QApplication>
#include <QIcon>
#include <QStyleFactory>

int main(int argc, char *argv[])
{
    QApplication *application = new QApplication(argc, argv);
    QApplication::setStyle(QStyleFactory::create("fusion"));
    QApplication::setWindowIcon(QIcon(":/icons/quorval.png"));

    TQuorval *window = new TQuorval(nullptr, Qt::WindowFlags());
    window->show();
    const int result = application->exec();

    delete window;
    delete application;
    return result;
}
