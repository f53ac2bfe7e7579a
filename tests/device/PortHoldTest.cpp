// A held port: other programs are refused between our own opens, which still work, for
// root and for an ordinary user (whose reopens TIOCEXCL would refuse).
#include "device/platform/PortHold.h"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include "PtyPair.h"
#include "device/platform/PosixPort.h"

namespace qtm {
namespace {

// What another program does to take a port: open it and lock it. Run in a child that has
// closed every descriptor it inherited, so it shares nothing with this process.
bool OtherProgramGetsPort(const std::string& path) {
    const pid_t child = ::fork();
    if (child == 0) {
        for (int fd = 3; fd < 1024; ++fd)
            ::close(fd);
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ::_exit(fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// 0 when the whole story holds; otherwise the number of the step that failed.
int HoldStory() {
    test::PtyPair pty;
    if (!pty.Ok()) return 1;
    PortHold hold;
    PortError error;
    if (!hold.Take(pty.Path(), &error) || !hold.Held()) return 2;
    // Our own exchanges open and close the port as often as they like...
    for (int i = 0; i < 3; ++i) {
        PosixPort port;
        if (!port.Open(pty.Path(), 115200, &error)) return 3;
        // ...and keep others out while they have it open, as before.
        if (OtherProgramGetsPort(pty.Path())) return 4;
        port.Close();
        // Between them the hold does.
        if (OtherProgramGetsPort(pty.Path())) return 5;
    }
    // Once the hold ends, the port is anyone's again.
    hold.Release();
    if (!OtherProgramGetsPort(pty.Path())) return 6;
    PortHold again;
    if (!again.Take(pty.Path(), &error)) return 7;
    return 0;
}

TEST(PortHoldTest, OtherProgramsAreRefusedAndOurOwnOpensWork) {
    EXPECT_EQ(HoldStory(), 0);
}

TEST(PortHoldTest, OrdinaryUserCanReopenAHeldPort) {
    if (::geteuid() != 0) GTEST_SKIP() << "already run as an ordinary user above";
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(100);
        ::_exit(HoldStory());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace qtm
