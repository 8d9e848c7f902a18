#include "KvoFifoTrap.h"

#include <QDir>
#include <QFile>

#include <chrono>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

KvoFifoTrap::KvoFifoTrap()
    : m_dir(QDir::tempPath() + QStringLiteral("/kvoXXXXXX"))
{
    m_path = m_dir.filePath(QStringLiteral("f"));
    m_ready = m_dir.isValid() && ::mkfifo(QFile::encodeName(m_path).constData(), 0600) == 0;
    if (m_ready)
        m_thread = std::thread([this] { watch(); });
}

KvoFifoTrap::~KvoFifoTrap()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

QString KvoFifoTrap::image() const
{
    return QStringLiteral("<img src='%1'>").arg(m_path);
}

void KvoFifoTrap::watch()
{
    const QByteArray name = QFile::encodeName(m_path);
    while (!m_stop) {
        const int fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            ++m_opens;
            ::close(fd);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
}
