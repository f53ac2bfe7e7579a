// When a CLI live run gives up on its meter, and what it says about the run.
#include <gtest/gtest.h>

#include <vector>

#include "cli/LiveRunWatch.h"

namespace qtm::cli {
namespace {

LiveValues Pass(bool powerOk, int answered) {
    LiveValues v;
    v.powerOk = powerOk;
    v.answered = answered;
    return v;
}

PortError Gone(PortErrorKind kind, const char* detail) {
    PortError e;
    e.kind = kind;
    e.path = "/dev/ttyUSB0";
    e.detail = detail;
    return e;
}

TEST(LiveRunWatchTest, UsbPassesDecideLossAndTheClosingSentence) {
    struct Case {
        const char* name;
        std::vector<LiveValues> passes;
        PortError errorAtLast;
        bool lost;
        const char* summary;
        int status;
    };
    const Case cases[] = {
        {"all read", {Pass(true, 5), Pass(true, 5)}, {}, false, "", 0},
        {"power missed, rest answered",
         {Pass(true, 5), Pass(false, 4), Pass(true, 5)},
         {},
         false,
         "1 of 3 passes gave no reading",
         0},
        {"power never came",
         {Pass(false, 4), Pass(false, 4)},
         {},
         false,
         "the meter gave no reading: 2 of 2 passes gave no reading",
         1},
        {"meter silent",
         {Pass(true, 5), Pass(false, 0)},
         {},
         true,
         "lost the meter on /dev/ttyUSB0 at pass 2: the meter stopped answering (no request of "
         "the pass got a valid reply); 1 of 2 passes gave no reading",
         1},
        {"port gone",
         {Pass(true, 5), Pass(true, 5), Pass(false, 0)},
         Gone(PortErrorKind::NotFound, "No such file or directory"),
         true,
         "lost the meter on /dev/ttyUSB0 at pass 3: the port is gone; 1 of 3 passes gave no "
         "reading",
         1},
        {"port refused mid-pass, power already in",
         {Pass(true, 2)},
         Gone(PortErrorKind::Other, "Input/output error"),
         true,
         "lost the meter on /dev/ttyUSB0 at pass 1: the port can no longer be opened "
         "(Input/output error); 0 of 1 pass gave no reading",
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LiveRunWatch watch("/dev/ttyUSB0");
        bool goOn = true;
        for (std::size_t i = 0; i < c.passes.size(); ++i) {
            ASSERT_TRUE(goOn) << "stopped before pass " << i + 1;
            goOn =
                watch.UsbPass(c.passes[i], i + 1 == c.passes.size() ? c.errorAtLast : PortError{});
        }
        EXPECT_EQ(goOn, !c.lost);
        EXPECT_EQ(watch.Lost(), c.lost);
        EXPECT_EQ(watch.Summary(), c.summary);
        EXPECT_EQ(watch.Status(), c.status);
    }
}

TEST(LiveRunWatchTest, BusPortFailureAndSilenceEndTheRun) {
    LiveRunWatch failing("/dev/ttyUSB1");
    EXPECT_TRUE(failing.BusPass(true, false));
    EXPECT_FALSE(failing.BusPass(false, true));
    EXPECT_EQ(failing.Summary(),
              "lost the meter on /dev/ttyUSB1 at pass 2: the port stopped working (unplugged or "
              "hung up); 1 of 2 passes gave no reading");

    LiveRunWatch silent("/dev/ttyUSB1");
    EXPECT_FALSE(silent.BusPass(false, false));
    EXPECT_EQ(silent.Passes(), 1);
    EXPECT_EQ(silent.Missed(), 1);
    EXPECT_EQ(silent.Status(), 1);
    EXPECT_NE(silent.Summary().find("stopped answering"), std::string::npos);
}

}  // namespace
}  // namespace qtm::cli
