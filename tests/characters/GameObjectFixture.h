#pragma once

// Game-object tests in a working folder of their own, with the real renderer library's device
// given to the Application so that the engine log "q3D.log" can be read back. Every test starts
// with the identifier counter at 0, an empty identifier tree and no network session, and must
// leave the tree empty.

#include "app/framework/Application.h"
#include "app/framework/Singletons.h"
#include "characters/objects/GameObject.h"
#include "characters/level/NetworkSession.h"
#include "tests/characters/SessionFake.h"
#include "engine/core/ObjectIDTree.h"
#include "engine/binding/RendererBinding.h"
#include "renderer/Device.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

class GameObjectTest : public testing::Test {
protected:
    void SetUp() override
    {
        previous = std::filesystem::current_path();
        std::string pattern = (std::filesystem::temp_directory_path() / "bexal-characters-XXXXXX").string();
        folder = mkdtemp(pattern.data());
        std::filesystem::current_path(folder);
        DestroySingletons();
        LoadRendererLibrary(kRendererLibraryName, &device);
        ASSERT_NE(device, nullptr);
        Application::Instance()->SetDevice(device);
        GameObject::SetNextObjectID(0);
        ASSERT_EQ(ObjectIDTree::Instance().GetCount(), 0) << "an earlier test left objects in the tree";
    }

    void TearDown() override
    {
        EXPECT_EQ(ObjectIDTree::Instance().GetCount(), 0) << "the test left objects in the tree";
        ObjectIDTree::Instance().Clear();
        DestroySingletons();
        if (device)
            UnloadRendererLibrary(&device);
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(folder);
    }

    // The engine log so far.
    static std::string Log()
    {
        std::ifstream in("q3D.log", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // This machine as a connected client that does not host (host = false) or as the host.
    void JoinNetworkGame(bool host)
    {
        session.hosting = host;
        session.connected = true;
    }

    SessionFake session; // no network game until joined
    Device* device = nullptr;
    std::filesystem::path folder;
    std::filesystem::path previous;
};
