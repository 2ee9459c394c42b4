// The fixture of the tests that run a program on a private X server: it skips when dudez or a
// program the tests need is missing, starts the server, and kills the program under test if it
// is still running when the test ends.
#pragma once

#include "tests/support/Process.h"

#include <gtest/gtest.h>

// Xlib's macros (None, Bool, Status) come after every other header.
#include "tests/x11/XServer.h"

#include <signal.h>
#include <sys/wait.h>

#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <string>

namespace x11test {

class ServerFixture : public testing::Test {
protected:
    // Skips unless dudez and every one of `commands` (Xvfb among them) can be run.
    void StartServer(std::initializer_list<const char*> commands) {
        if (testsupport::DudezBinary().empty()) GTEST_SKIP() << "the dudez program was not built";
        for (const char* command : commands)
            if (std::system(("command -v " + std::string(command) + " >/dev/null 2>&1").c_str()) != 0)
                GTEST_SKIP() << command << " is not installed";
        server = std::make_unique<XServer>();
        ASSERT_TRUE(server->Running()) << "Xvfb did not start";
    }
    void TearDown() override {
        if (mPid > 0) {
            kill(mPid, SIGKILL);
            waitpid(mPid, nullptr, 0);
        }
    }

    std::unique_ptr<XServer> server;
    pid_t mPid = -1;   // the program under test, -1 once it has ended

};

} // namespace x11test
