#include "KvoTransferTally.h"

#include "KvoTransferRun.h"

#include <cstdio>

void KvoTransferTally::add(const KvoTransferRun& run)
{
    if (!run.ok)
        return;
    m_sum += run.megabytesPerSecond();
    ++m_succeeded;
}

double KvoTransferTally::mean() const
{
    return m_succeeded ? m_sum / m_succeeded : 0;
}

void KvoTransferTally::printMeans(const char* who, const KvoTransferTally& mine, const KvoTransferTally& curl)
{
    std::printf("mean: %s %.1f MB/s", who, mine.mean());
    if (curl.succeeded())
        std::printf(", curl %.1f MB/s, ratio (%s / curl) %.2f", curl.mean(), who, mine.mean() / curl.mean());
    std::printf("\n");
}
