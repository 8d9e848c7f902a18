#include "KvoSingleApplication.h"

int main(int argc, char** argv)
{
    KvoSingleApplication app(argc, argv, QStringLiteral("~Qozmira~Vistrelle~"));
    return 0;
}
