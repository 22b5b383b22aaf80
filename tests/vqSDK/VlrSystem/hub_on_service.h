// The hub signed in to the simulated camera service (tools/camsim): a
// management and a login server on loopback, the start-up steps run, the
// account signed in and the management server connected. Failure reports and
// network events are collected.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "support/wait_until.h"
#include "vqSDK/VlrNetSDK/camsim_peer.h"
#include "vqSDK/VlrSystem/vlr_system.h"

namespace hub_test {

struct Reports {
    std::mutex mutex;
    std::vector<std::pair<int32_t, std::string>> texts;
    static void On(int32_t code, int32_t, const char* text, void* user, int32_t)
    {
        auto* self = static_cast<Reports*>(user);
        std::lock_guard<std::mutex> lock(self->mutex);
        self->texts.emplace_back(code, text);
    }
    std::vector<std::pair<int32_t, std::string>> Taken()
    {
        std::lock_guard<std::mutex> lock(mutex);
        auto taken = texts;
        texts.clear();
        return taken;
    }
};

struct NetEvents {
    std::mutex mutex;
    std::condition_variable changed;
    std::map<int32_t, std::vector<uint8_t>> blocks;
    static void On(int32_t kind, void* data, int32_t, void* user, int32_t)
    {
        auto* self = static_cast<NetEvents*>(user);
        const std::size_t size = kind == VLR_NET_NOTICE_20374 ? VLR_NOTICE_20374_BYTES : 32;
        std::lock_guard<std::mutex> lock(self->mutex);
        const auto* bytes = static_cast<const uint8_t*>(data);
        self->blocks[kind] = bytes != nullptr ? std::vector<uint8_t>(bytes, bytes + size) : std::vector<uint8_t>();
        self->changed.notify_all();
    }
    std::vector<uint8_t> Wait(int32_t kind)
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait_for(lock, std::chrono::milliseconds(testing_support::kEventBoundMs),
                         [&] { return blocks.count(kind) != 0; });
        return blocks.count(kind) != 0 ? blocks[kind] : std::vector<uint8_t>();
    }
};

class HubOnService : public ::testing::Test {
protected:
    void Start(const std::string& mgrOptions, const std::string& loginOptions)
    {
        mgr_ = std::make_unique<netsdk_test::CamsimServer>("mgr", mgrOptions);
        ASSERT_NE(mgr_->Port(), 0) << "the simulated management server did not start";
        login_ = std::make_unique<netsdk_test::CamsimLogin>("--account demo:secret --mgr-port " +
                                                            std::to_string(mgr_->Port()) + " " + loginOptions);
        ASSERT_NE(login_->Port(), 0) << "the simulated login server did not start";
        ASSERT_EQ(QN_NET_SetServicePorts(login_->Port(), 0, 0), 1);
        hub_ = std::make_unique<VLR_SYSTEM>();
        hub_->SetMsgCallBack(&Reports::On, &reports_, 0);
        hub_->SetNetEventCallBack(&NetEvents::On, &events_, 0);
        // Not ready before the SDK is up.
        EXPECT_EQ(hub_->GetSourcePack("file_play"), nullptr);
        for (const char* step : {"data_base", "opengl_init", "panoex", "init_netsdk", "net_event_reg"}) {
            ASSERT_EQ(hub_->Init(step, "127.0.0.1"), 1) << step;
        }
        ASSERT_EQ(hub_->State() & VLR_STATE_READY, VLR_STATE_READY);
        ASSERT_NE(hub_->GetSourcePack("file_play"), nullptr);
        QN_NET_LOGIN_INFO info{};
        std::strcpy(info.account, "demo");
        std::strcpy(info.password, "secret");
        std::strcpy(info.terminal, "hub-test");
        uint32_t address = 0;
        ASSERT_EQ(hub_->Login(&info, &address, &user_), 1);
        ASSERT_EQ(hub_->MgrConnect(), 1);
    }
    void TearDown() override
    {
        if (hub_) {
            if (hub_->State() & VLR_STATE_SIGNED_IN) hub_->Logout(user_);
            hub_->Init("clean_up", nullptr);
            hub_.reset();
        }
        mgr_.reset();
        login_.reset();
    }

    Reports reports_;
    NetEvents events_;
    uint32_t user_ = 0;
    std::unique_ptr<VLR_SYSTEM> hub_;
    std::unique_ptr<netsdk_test::CamsimServer> mgr_;
    std::unique_ptr<netsdk_test::CamsimLogin> login_;
};

} // namespace hub_test
