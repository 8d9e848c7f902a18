#pragma once

struct KvoTransferRun;

// The runs of one client in a throughput benchmark: how many succeeded and
// their mean speed.
class KvoTransferTally
{
public:
    // Counts the run when it succeeded.
    void add(const KvoTransferRun& run);
    int succeeded() const { return m_succeeded; }
    // MB/s over the runs that succeeded; 0 when none did.
    double mean() const;

    // "mean: WHO x MB/s, curl y MB/s, ratio (WHO / curl) r"; the curl part
    // only when a curl run succeeded.
    static void printMeans(const char* who, const KvoTransferTally& mine, const KvoTransferTally& curl);

private:
    double m_sum = 0;
    int m_succeeded = 0;
};
