#pragma once

#include <QApplication>

class KvoSingleApplication : public QApplication
{
    Q_OBJECT
public:
    KvoSingleApplication(int& argc, char** argv, const QString& key);
};
