// Names shared by the modules of one process, each module with its own copy of the run-time: what
// one module claims, another finds held and reads, and nothing outside the process sees.
#include "platform/kernel/process_names.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace quill::kernel {
namespace {

// The other module (tests/process_names_peer.cpp), loaded for the test.
class TPeer {
  public:
    TPeer() : FModule(::LoadLibraryA(QUILL_PROCESS_NAMES_PEER)) {}
    ~TPeer() {
        if (FModule) ::FreeLibrary(FModule);
    }
    bool Loaded() const { return FModule != nullptr; }
    bool Claim(const std::string& name) {
        return Call<int (*)(const char*)>("PeerClaim")(name.c_str());
    }
    bool Publish(const std::string& name, const std::string& text) {
        return Call<int (*)(const char*, const char*)>("PeerPublish")(name.c_str(), text.c_str());
    }
    void Release(const std::string& name) {
        Call<void (*)(const char*)>("PeerRelease")(name.c_str());
    }
    std::string Text(const std::string& name) {
        char text[512] = {};
        Call<void (*)(const char*, char*, int)>("PeerText")(name.c_str(), text, sizeof text);
        return text;
    }

  private:
    template <typename F> F Call(const char* function) {
        return reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(FModule, function)));
    }
    HMODULE FModule;
};

TEST(Win32ProcessNames, ModulesWithTheirOwnRunTimeShareOneClaimAndItsText) {
    TPeer peer;
    ASSERT_TRUE(peer.Loaded()) << QUILL_PROCESS_NAMES_PEER;
    const std::string name = "_com.pellam.baselog.host_" + std::to_string(::GetCurrentProcessId());
    int holder = 0;

    ASSERT_TRUE(ClaimProcessName(name, &holder));
    EXPECT_FALSE(ClaimProcessName(name, &holder));
    EXPECT_FALSE(peer.Claim(name)) << "two modules of one process both became the host";
    EXPECT_EQ(peer.Text(name), "");
    ASSERT_TRUE(PublishProcessText(name, &holder, "C:/logs/Quill_pc_1.log"));
    EXPECT_EQ(peer.Text(name), "C:/logs/Quill_pc_1.log");
    EXPECT_FALSE(peer.Publish(name, "taken over")) << "a module that does not hold it published";
    EXPECT_EQ(ProcessText(name), "C:/logs/Quill_pc_1.log");

    // Let go, the name is free for the other module, and its old text goes with it.
    ReleaseProcessName(name, &holder);
    EXPECT_EQ(peer.Text(name), "");
    ASSERT_TRUE(peer.Claim(name));
    EXPECT_FALSE(ClaimProcessName(name, &holder));
    EXPECT_TRUE(peer.Publish(name, "Журнал"));
    EXPECT_EQ(ProcessText(name), "Журнал");
    ReleaseProcessName(name, &holder); // not the holder: changes nothing
    EXPECT_EQ(ProcessText(name), "Журнал");
    peer.Release(name);
    EXPECT_EQ(ProcessText(name), "");
}

} // namespace
} // namespace quill::kernel
