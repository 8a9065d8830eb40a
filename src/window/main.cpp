#include "core/base/safewrite.h"
#include "src/window/quorval.h"

#include <QApplication>
#include <QIcon>
#include <QStyleFactory>

int main(int argc, char *argv[])
{
    // Saving beyond the file-size limit then fails with a message and the entries stay open.
    SafeWrite::Ignore_File_Size_Signal();
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
