#include "KvoSettingsService.h"

#include "KvoEnvironment.h"
#include "KvoSettingsFixture.h"

KvoSettingsService::KvoSettingsService()
{
    KvoEnvironment::init();
    m_open = KvoSettingsFixture::openWithUsers(m_home.path());
    m_server = std::make_unique<KvoTestServer>();
}

KvoSettingsService::~KvoSettingsService()
{
    m_server.reset();
    KvoSettingsFixture::close();
}
