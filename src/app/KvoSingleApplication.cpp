#include "KvoSingleApplication.h"

KvoSingleApplication::KvoSingleApplication(int& argc, char** argv, const QString& key)
    : QApplication(argc, argv)
{
    Q_UNUSED(key);
}
