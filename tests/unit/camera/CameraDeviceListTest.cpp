// The camera device list: names in device order through the ANSI code page, and find() by
// position, over a scripted camera service and over the process's own.
#include "camera/CameraDeviceList.h"

#include <gtest/gtest.h>

#include <memory>

#include "CameraFakes.h"
#include "SyntheticCameraDriver.h"
#include "base/HResult.h"
#include "camera/StreamingCameraService.h"
#include "platform/CameraService.h"

namespace {

using camerafakes::ScriptedDriver;
using platform::CameraService;

struct ScriptedService {
    ScriptedDriver* driver = nullptr;
    std::unique_ptr<platform::StreamingCameraService> service;

    explicit ScriptedService(std::vector<platform::CameraDevice> list,
                             std::vector<bool> openable = {}) {
        auto d = std::make_unique<ScriptedDriver>();
        d->list = std::move(list);
        d->openable = std::move(openable);
        driver = d.get();
        service = std::make_unique<platform::StreamingCameraService>(std::move(d));
    }
};

TEST(CameraDeviceList, IsEmptyAndFindsNothingWithoutDevices) {
    ScriptedService camera({});
    const CameraDeviceList names(*camera.service);
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(CameraDeviceList::find(*camera.service, 0), E_FAIL);
    EXPECT_EQ(CameraDeviceList::find(*camera.service, -1), E_FAIL);
    EXPECT_TRUE(camera.driver->opened.empty());
    EXPECT_FALSE(camera.service->isOpen());
}

TEST(CameraDeviceList, ADeviceWithoutANameIsNotListedButKeepsItsPosition) {
    ScriptedService camera({ScriptedDriver::named(L"Front"), ScriptedDriver::unnamed(),
                            ScriptedDriver::named(L"Back")});
    const CameraDeviceList names(*camera.service);
    EXPECT_EQ(names, (std::list<std::wstring>{L"Front", L"Back"}));

    // "Back" is second in the list but third in position.
    EXPECT_EQ(CameraDeviceList::find(*camera.service, 2), S_OK);
    EXPECT_EQ(CameraDeviceList::find(*camera.service, 1), S_OK);
    EXPECT_EQ(camera.driver->opened, (std::vector<int32_t>{2, 1}));
    EXPECT_TRUE(camera.service->isOpen());
}

TEST(CameraDeviceList, FindPastTheEndOrBeforeTheStartChangesNothing) {
    ScriptedService camera({ScriptedDriver::named(L"Front"), ScriptedDriver::named(L"Back")});
    ASSERT_EQ(CameraDeviceList::find(*camera.service, 0), S_OK);
    auto* open = camera.driver->lastSource;

    EXPECT_EQ(CameraDeviceList::find(*camera.service, 2), E_FAIL);
    EXPECT_EQ(CameraDeviceList::find(*camera.service, 7), E_FAIL);
    EXPECT_EQ(CameraDeviceList::find(*camera.service, -1), E_FAIL);
    EXPECT_EQ(camera.driver->opened, (std::vector<int32_t>{0}));
    EXPECT_TRUE(camera.service->isOpen());
    EXPECT_EQ(camera.driver->lastSource, open);  // the device found first is still the one
}

TEST(CameraDeviceList, ADeviceThatCannotBeOpenedFailsAndLeavesNothingOpen) {
    ScriptedService camera({ScriptedDriver::named(L"Front"), ScriptedDriver::named(L"Broken")},
                           {true, false});
    ASSERT_EQ(CameraDeviceList::find(*camera.service, 0), S_OK);
    EXPECT_EQ(CameraDeviceList::find(*camera.service, 1), E_FAIL);
    EXPECT_FALSE(camera.service->isOpen());
}

TEST(CameraDeviceList, NamesComeBackThroughTheAnsiCodePage) {
    // A lone surrogate has no place in any code page and comes back as the substitute.
    ScriptedService camera({ScriptedDriver::named(L"USB \x6444\x50cf\x5934 HD"),
                            ScriptedDriver::named(std::wstring(L"Cam ") + wchar_t(0xD800))});
    const CameraDeviceList names(*camera.service);
    EXPECT_EQ(names, (std::list<std::wstring>{L"USB \x6444\x50cf\x5934 HD",
                                              std::wstring(L"Cam ") + wchar_t(0xFFFD)}));
}

TEST(CameraDeviceList, WithoutAServiceGivenItUsesTheProcessService) {
    auto previous = CameraService::installShared(platform::createSyntheticCameraService());
    const CameraDeviceList names;
    EXPECT_EQ(names, (std::list<std::wstring>{platform::SyntheticCameraDriver::kFriendlyName}));
    EXPECT_EQ(CameraDeviceList::find(1), E_FAIL);
    EXPECT_FALSE(CameraService::shared().isOpen());
    EXPECT_EQ(CameraDeviceList::find(0), S_OK);
    EXPECT_TRUE(CameraService::shared().isOpen());
    EXPECT_EQ(CameraService::shared().frameSize(), (platform::CameraSize{640, 480}));
    CameraService::installShared(std::move(previous));
}

}  // namespace
