// Another user of the machine, for tests of what one user may plant in folders that all users
// share. Without switching users, a test stands such a user's files in by giving them to the
// unprivileged uid 65534 (the "nobody" of Debian); that needs root, so tests skip without it. On
// Windows files cannot be given away like this, and such tests always skip.
#pragma once

#include <gtest/gtest.h>

#include <string>
#ifndef _WIN32
#include <sys/types.h>
#include <unistd.h>
#endif

namespace quill::test {

constexpr unsigned kOtherUser = 65534;

#ifndef _WIN32
inline bool CanPlantAsOtherUser() {
    return geteuid() == 0;
}

// Gives `path` (itself, not a link's target) to the other user; false when that fails.
inline bool GiveToOtherUser(const std::string& path) {
    return lchown(path.c_str(), kOtherUser, kOtherUser) == 0;
}
#else
inline bool CanPlantAsOtherUser() {
    return false;
}

inline bool GiveToOtherUser(const std::string&) {
    return false;
}
#endif

} // namespace quill::test

// Skips the test when files cannot be made another user's.
#define QUILL_SKIP_WITHOUT_OTHER_USER()                                                            \
    do {                                                                                           \
        if (!::quill::test::CanPlantAsOtherUser())                                                 \
            GTEST_SKIP() << "needs root to give planted files to another user (uid 65534)";        \
    } while (0)
