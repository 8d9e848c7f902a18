#pragma once

#include "KvoTestSupport.h"

#include <memory>

// What the settings tests that talk to the web service start from: a
// private home, the database of KvoSettingsFixture::openWithUsers() with
// "1042" signed in, and the local web service the client's endpoint points
// at. All of it ends with the object.
class KvoSettingsService
{
public:
    KvoSettingsService();
    ~KvoSettingsService();

    KvoSettingsService(const KvoSettingsService&) = delete;
    KvoSettingsService& operator=(const KvoSettingsService&) = delete;

    // The database is open and the service answers.
    bool isReady() const { return m_open && m_server->isRunning(); }
    KvoTestServer* server() const { return m_server.get(); }

private:
    KvoTestHome m_home;
    bool m_open = false;
    std::unique_ptr<KvoTestServer> m_server;
};
