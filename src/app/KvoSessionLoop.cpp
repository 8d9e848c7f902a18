#include "KvoSessionLoop.h"

int KvoSessionLoop::run(KvoSingleApplication& app, const QString& argument)
{
    Q_UNUSED(app);
    Q_UNUSED(argument);
    return 0;
}
